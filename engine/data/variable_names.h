// Variable names for columns whose headers are not valid names: numbers (the
// columns of an unnamed table are 0, 1, 2 ...), texts with blanks or
// punctuation, empty headers. One rule, so that every way of bringing in
// columns names them alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace engine::data {

// The name for the header of column `column` (1-based) when the header is not
// a valid name: each character that a name cannot hold (a UTF-8 character
// counting as one) becomes "_", a name that does not begin with a letter or
// "_" gets "v" in front ("2019" becomes "v2019"), an empty header becomes
// "v" and the column number, and the name is cut to the longest allowed.
std::string validVariableName(std::string_view header, std::size_t column);

// Names for a whole header row: valid names are kept, the others made valid
// as above, and a name that matches an earlier one in all but case gets
// "_2", "_3" ... so that all differ.
std::vector<std::string> variableNames(const std::vector<std::string>& headers);

}  // namespace engine::data
