// my.z80 text: the strict reader, then the decoder at several canvas sizes.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "datafile.hpp"
#include "fileerror.hpp"
#include "framedecoder.hpp"

namespace {

// Canvas sizes in bits: the smallest, the calculator's screen and two others the job maker offers.
constexpr std::size_t kCanvasBits[] = {8, 96 * 64, 128 * 64, 64 * 48};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::uint8_t> bytes;
    try {
        bytes = player::parseDataLines(text, "my.z80");
    } catch (const support::FileError&) {
        return 0;
    }
    // Every byte comes from an item " %bbbbbbbb" of ten characters, on a line that starts " .db".
    fuzz::require(bytes.size() * 10 + 4 <= size || bytes.empty(), "every byte has its item");

    for (const std::size_t bits : kCanvasBits) {
        try {
            const std::vector<TIFunctions::Record> records =
                TIFunctions::decodeRecords(bytes, bits);
            std::size_t covered = 0;
            for (const TIFunctions::Record& record : records) {
                fuzz::require(record.screen.size() == bits, "every screen has the canvas size");
                covered += record.size;
            }
            fuzz::require(covered == bytes.size(), "the records cover the data");
        } catch (const TIFunctions::RecordError& error) {
            fuzz::require(error.offset() <= bytes.size(), "an error's offset lies within the data");
        }
    }
    return 0;
}
