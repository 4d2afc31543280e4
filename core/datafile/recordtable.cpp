#include "recordtable.hpp"

#include <iomanip>
#include <ostream>

#include "tifunctions.hpp"

namespace player {

void CodeTypeCounts::add(const TIFunctions::RecordHeader& record) {
    ++counts.at(static_cast<std::size_t>(record.codeType))[record.difference ? 1 : 0];
    ++(record.difference ? differenceFrames : keyFrames);
    bytes += record.size;
}

RecordTable::RecordTable(std::ostream& out) : m_out(out) {
    m_out << "record  offset  kind        code type  bytes\n";
}

void RecordTable::add(const TIFunctions::RecordHeader& record) {
    m_out << std::right << std::setw(6) << m_records++ << "  " << std::setw(6) << record.offset
          << "  " << std::left << std::setw(10) << (record.difference ? "difference" : "key")
          << "  " << std::setw(9) << TIFunctions::codeTypeCaption(record.codeType) << "  "
          << std::right << std::setw(5) << record.size << '\n';
    m_counts.add(record);
}

void RecordTable::finish() {
    m_out << m_records << (m_records == 1 ? " record, " : " records, ") << m_counts.bytes
          << " bytes: " << m_counts.keyFrames << " key, " << m_counts.differenceFrames
          << " difference\n";
    m_out << "key / difference frames per code type:\n";
    m_out << TIFunctions::codeTypePanel(m_counts.counts);
}

}  // namespace player
