// The --info table: one line per record, the totals and the converter's statistics layout.

#include <gtest/gtest.h>

#include <sstream>

#include "framedecoder.hpp"
#include "recordtable.hpp"
#include "tifunctions.hpp"

using TIFunctions::BitString;

TEST(RecordTable, ListsEveryRecordAndCountsPerCodeType) {
    BitString dot = BitString::filled(96 * 64, false);
    dot.setBit(100, true);
    std::vector<std::uint8_t> stream = {0x03, 0x3F, 0x00};  // blank key frame, type 3
    for (const auto& [header, type] :
         {std::pair{0x85, 5}, std::pair{0x85, 5}, std::pair{0x01, 1}}) {
        stream.push_back(static_cast<std::uint8_t>(header));
        const BitString data = TIFunctions::EncodeFrame(dot, type);
        stream.insert(stream.end(), data.bytes().begin(), data.bytes().end());
    }
    const auto records = TIFunctions::decodeRecords(stream, 96 * 64);
    ASSERT_EQ(records.size(), 4U);

    player::CodeTypeCounts counts;
    std::ostringstream text;
    player::RecordTable table(text);
    for (const TIFunctions::Record& record : records) {
        const TIFunctions::RecordHeader header{record.offset, record.size, record.difference,
                                               record.codeType};
        counts.add(header);
        table.add(header);
    }
    table.finish();
    EXPECT_EQ(counts.keyFrames, 2U);
    EXPECT_EQ(counts.differenceFrames, 2U);
    EXPECT_EQ(counts.bytes, stream.size());
    EXPECT_EQ(counts.counts[5][1], 2U);
    EXPECT_EQ(counts.counts[3][0], 1U);
    EXPECT_EQ(counts.counts[1][0], 1U);

    const std::string expected =
        "record  offset  kind        code type  bytes\n"
        "     0       0  key         NZCP:          3\n"
        "     1       3  difference  NTNZCP:        5\n"
        "     2       8  difference  NTNZCP:        5\n"
        "     3      13  key         NTNRLE:        6\n"
        "4 records, 19 bytes: 2 key, 2 difference\n"
        "key / difference frames per code type:\n"
        "  NRLE:     0 / 0        NZCP:     1 / 0        NTNZCP:   0 / 2\n"
        "  NTNRLE:   1 / 0        IZCP:     0 / 0        ITIZCP:   0 / 0\n"
        "  ITNRLE:   0 / 0        NTNEZCMP: 0 / 0        ITNZCP:   0 / 0\n"
        "  NEZCMP:   0 / 0        ITNEZCMP: 0 / 0        NTIZCP:   0 / 0\n";
    EXPECT_EQ(text.str(), expected);
}
