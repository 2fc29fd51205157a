// Sizes given on the command line: a number of bytes with an optional
// suffix K, M, G or T (powers of 1024).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

std::optional<std::int64_t> parseSize(std::string_view text);
