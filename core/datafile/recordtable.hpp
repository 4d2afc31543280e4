#pragma once

#include <cstddef>
#include <iosfwd>

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

    // Counts one more record.
    void add(const TIFunctions::RecordHeader& record);
};

// The text of --info, written as the records come: a heading, one line per record (number, byte
// offset, kind, code type caption, size in bytes), then the totals and the key / difference
// counts per code type laid out as the converter's statistics panel.
class RecordTable {
  public:
    // Writes the heading to out, which must outlive the table.
    explicit RecordTable(std::ostream& out);
    // Writes the line of the next record.
    void add(const TIFunctions::RecordHeader& record);
    // Writes the totals.
    void finish();

  private:
    std::ostream& m_out;
    std::size_t m_records = 0;
    CodeTypeCounts m_counts;
};

}  // namespace player
