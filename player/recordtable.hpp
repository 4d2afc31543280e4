#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "framedecoder.hpp"
#include "tifunctions.hpp"

namespace player {

// Key and difference frames per code type, as the converter's statistics count them.
struct CodeTypeCounts {
    // counts[t][0] key frames, counts[t][1] difference frames of code type t (0 to 11).
    TIFunctions::CodeTypeTally counts{};
    std::size_t keyFrames = 0;
    std::size_t differenceFrames = 0;
    std::size_t bytes = 0;  // header bytes included
};

// The counts of records.
CodeTypeCounts countCodeTypes(std::span<const TIFunctions::Record> records);

// The text of --info: one line per record (number, byte offset, kind, code type caption, size in
// bytes), the totals, and the key / difference counts per code type laid out as the converter's
// statistics panel.
std::string recordTable(std::span<const TIFunctions::Record> records);

}  // namespace player
