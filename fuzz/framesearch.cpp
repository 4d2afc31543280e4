// Two frames and the search's settings: the converter's frame search against its plain form,
// twice in a row so that the second search runs on the storage the first one left.

#include <cstddef>
#include <cstdint>

#include "check.hpp"
#include "framesearch.hpp"
#include "plainsearch.hpp"

using TIFunctions::BitString;

namespace {

// frameBits bits of data, repeated from offset on (zeros when there is no data).
BitString frameFrom(const std::uint8_t* data, std::size_t size, std::size_t offset,
                    std::size_t frameBits) {
    BitString frame = BitString::filled(frameBits, false);
    if (size == 0) return frame;
    for (std::size_t i = 0; i < frameBits / 8; ++i) {
        const std::uint8_t byte = data[(offset + i) % size];
        for (int b = 0; b < 8; ++b)
            frame.setBit(i * 8 + static_cast<std::size_t>(b), (byte >> (7 - b)) & 1U);
    }
    return frame;
}

void compare(conversion::FrameSearch& search, const BitString& frame, const BitString& reference,
             std::size_t k, double quality, double interlace, std::size_t width) {
    const conversion::SearchChoice& choice =
        search.search(frame, reference, k, quality, interlace, width);
    const testsearch::PlainChoice plain =
        testsearch::plainSearch(frame, reference, k, quality, interlace, width);
    fuzz::require(choice.candidate == plain.candidate, "the search picks the plain candidate");
    fuzz::require(choice.codeType == plain.codeType, "the search picks the plain code type");
    fuzz::require(choice.data == plain.data, "the search's data is the plain search's");
    fuzz::require(choice.shown == plain.shown, "the search shows what the plain search shows");
    const auto kind =
        choice.candidate % 2 == 0 ? conversion::FrameKind::Difference : conversion::FrameKind::Key;
    fuzz::require(choice.kind == kind, "even candidates are difference frames");
}

}  // namespace

// Input: row length in bytes (byte 0), rows (byte 1), frame number (byte 2), quality (byte 3),
// interlace (byte 4), then the bits of the frames, repeated as needed.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::size_t width = 8 * (1 + data[0] % 16);
    const std::size_t height = 1 + data[1] % 64;
    const std::size_t k = data[2];
    const double quality = (data[3] % 44) / 4.0 - 1;  // -1 to 9.75: quarters, past both ends
    const double interlace = data[4] % 4 == 0 ? 0.5 : data[4] % 2;
    const std::uint8_t* bits = data + 5;
    const std::size_t bitBytes = size - 5;

    const std::size_t frameBits = width * height;
    const BitString first = frameFrom(bits, bitBytes, 0, frameBits);
    const BitString second = frameFrom(bits, bitBytes, frameBits / 8, frameBits);
    const BitString blank = BitString::filled(frameBits, false);

    conversion::FrameSearch search;
    compare(search, first, blank, k, quality, interlace, width);
    const BitString shown = search.search(first, blank, k, quality, interlace, width).shown;
    compare(search, second, shown, k + 1, quality, interlace, width);
    return 0;
}
