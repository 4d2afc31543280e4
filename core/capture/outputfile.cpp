#include "outputfile.hpp"

#include "atomicfile.hpp"

namespace capture {

namespace {

constexpr std::size_t kBytesPerLine = 8;
constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

void SaveToFile(const std::string& fileName, const TIFunctions::BitString& bits) {
    support::AtomicFile file(fileName);
    std::string buffer;
    buffer.reserve(kBufferSize);
    const std::size_t byteCount = bits.wholeBytes();
    const std::uint8_t* bytes = bits.data();
    for (std::size_t k = 0; k < byteCount; ++k) {
        const std::size_t column = k % kBytesPerLine;
        buffer += column == 0 ? " .db %" : ", %";
        for (int bit = 7; bit >= 0; --bit)
            buffer += ((bytes[k] >> bit) & 1U) ? '1' : '0';
        if (column == kBytesPerLine - 1 || k + 1 == byteCount) buffer += "\r\n";
        if (buffer.size() > kBufferSize - 128) {
            file.write(buffer);
            buffer.clear();
        }
    }
    file.write(buffer);
    file.commit();
}

}  // namespace capture
