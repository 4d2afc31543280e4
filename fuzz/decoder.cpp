// Raw bytes as encoded data: one frame under a code type, and a stream of frame records.

#include <cstddef>
#include <cstdint>
#include <span>

#include "check.hpp"
#include "framedecoder.hpp"
#include "restored.hpp"
#include "tifunctions.hpp"

using namespace TIFunctions;

namespace {

// A decoded frame encodes and decodes again to itself, but for what its code type leaves out.
void checkReencoding(const BitString& frame, int codeType) {
    const BitString encoded = EncodeFrame(frame, codeType);
    const DecodedFrame again = decodeFrameData(encoded.bytes(), codeType, frame.size());
    fuzz::require(again.consumed == ByteCount(encoded), "a re-encoded frame is read whole");
    fuzz::require(
        again.frame == fuzz::restored(frame, kCodeTypes[static_cast<std::size_t>(codeType)]),
        "a decoded frame encodes and decodes to itself");
}

}  // namespace

// Input: code type (byte 0), frame size in bytes (bytes 1-2, big-endian), then the data.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int codeType = data[0] % (kCodeTypeCount + 1);  // one value past the last type
    const std::size_t frameBits = (std::size_t{data[1]} << 8 | data[2]) * 8;
    const std::span<const std::uint8_t> body(data + 3, size - 3);

    try {
        const DecodedFrame decoded = decodeFrameData(body, codeType, frameBits);
        fuzz::require(codeType < kCodeTypeCount, "only code types 0 to 8 decode");
        fuzz::require(decoded.frame.size() == frameBits, "a decoded frame has the frame's size");
        fuzz::require(decoded.consumed <= body.size(), "the decoder reads only the data given");
        checkReencoding(decoded.frame, codeType);
    } catch (const RecordError&) {
        fuzz::require(false, "a single frame's data throws DecodeError, not RecordError");
    } catch (const DecodeError& error) {
        fuzz::require(error.offset() <= body.size(), "an error's offset lies within the data");
    }

    try {
        const std::vector<Record> records = decodeRecords(body, frameBits);
        std::size_t next = 0;
        for (const Record& record : records) {
            fuzz::require(record.offset == next && record.size >= 1, "records follow each other");
            fuzz::require(record.codeType < kCodeTypeCount, "a record's code type is 0 to 8");
            fuzz::require(record.screen.size() == frameBits, "every screen has the frame's size");
            next += record.size;
        }
        fuzz::require(next == body.size(), "the records cover the stream");
    } catch (const RecordError& error) {
        fuzz::require(error.headerOffset() < body.size(), "a bad record's header is in the stream");
        fuzz::require(error.offset() <= body.size(), "an error's offset lies within the stream");
    }
    return 0;
}
