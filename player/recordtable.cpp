#include "recordtable.hpp"

#include <iomanip>
#include <sstream>

#include "tifunctions.hpp"

namespace player {

CodeTypeCounts countCodeTypes(std::span<const TIFunctions::Record> records) {
    CodeTypeCounts counts;
    for (const TIFunctions::Record& record : records) {
        ++counts.counts.at(static_cast<std::size_t>(record.codeType))[record.difference ? 1 : 0];
        ++(record.difference ? counts.differenceFrames : counts.keyFrames);
        counts.bytes += record.size;
    }
    return counts;
}

std::string recordTable(std::span<const TIFunctions::Record> records) {
    std::ostringstream text;
    text << "record  offset  kind        code type  bytes\n";
    for (std::size_t k = 0; k < records.size(); ++k) {
        const TIFunctions::Record& record = records[k];
        text << std::right << std::setw(6) << k << "  " << std::setw(6) << record.offset << "  "
             << std::left << std::setw(10) << (record.difference ? "difference" : "key") << "  "
             << std::setw(9) << TIFunctions::CodeTypeCaption(record.codeType) << "  " << std::right
             << std::setw(5) << record.size << '\n';
    }
    const CodeTypeCounts counts = countCodeTypes(records);
    text << records.size() << (records.size() == 1 ? " record, " : " records, ") << counts.bytes
         << " bytes: " << counts.keyFrames << " key, " << counts.differenceFrames
         << " difference\n";
    text << "key / difference frames per code type:\n";
    text << TIFunctions::CodeTypePanel(counts.counts);
    return text.str();
}

}  // namespace player
