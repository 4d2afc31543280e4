#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileerror.hpp"

namespace player {

// The bytes of data lines: every line " .db" and one to eight items " %bbbbbbbb" separated by
// ",", each line ended by CR LF or LF. Accepts nothing else; path only names the text in errors.
// Throws support::FileError at the first fault, with its line and column (from 1, in bytes) and
// the reason "expected WHAT, found WHAT".
std::vector<std::uint8_t> parseDataLines(std::string_view text, const std::string& path);

// parseDataLines of the file at path. Throws support::FileError.
std::vector<std::uint8_t> readDataFile(const std::string& path);

}  // namespace player
