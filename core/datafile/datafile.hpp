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

// Largest data file read, in bytes of text: 4 GiB, whose data lines hold at most about 380 MB.
inline constexpr std::uint64_t kMaxDataFileBytes = std::uint64_t{4} << 30;

// parseDataLines of the file at path, read a piece at a time so that only the bytes are held.
// Throws support::FileError, also for a file larger than kMaxDataFileBytes.
std::vector<std::uint8_t> readDataFile(const std::string& path);

}  // namespace player
