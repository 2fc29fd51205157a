// The engine's message catalogue: the wording shown for texts that the
// procedure hands over for translation, and the numbered short texts it asks
// for with GETTXT.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine::output {

// The catalogue's wording of a text or composite template; a text the
// catalogue does not know is its own translation. Trailing blanks of the text
// are ignored when it is looked up.
std::string translate(std::string_view text);

// Numbered catalogue text (at most 40 characters); empty when unknown.
std::string_view catalogueText(std::int64_t number);

// A numbered message of the engine's services with its "^1" filled in; the
// number itself when the catalogue does not know it.
std::string numberedMessage(std::int64_t number, std::string_view parameter);

}  // namespace engine::output
