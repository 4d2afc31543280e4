// A frame under every code type: encoded and decoded back, and EncodeFrameBelow beside
// EncodeFrame for a size limit taken from the input.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "check.hpp"
#include "codetypes.hpp"
#include "framedecoder.hpp"
#include "restored.hpp"
#include "tifunctions.hpp"

using namespace TIFunctions;

// Input: the frame's length in bits (bytes 0-1, big-endian, at most the bits that follow), a size
// limit (byte 2), then the frame's bits.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t available = (size - 3) * 8;
    const std::size_t bits = std::min<std::size_t>(std::size_t{data[0]} << 8 | data[1], available);
    const std::size_t limitByte = data[2];
    BitString frame = BitString::filled(bits, false);
    frame.copyBits(BitString::fromBytes({data + 3, size - 3}), 0, bits);

    BitString encoded;
    BitString below;
    for (int type = 0; type < kCodeTypeCount; ++type) {
        EncodeFrame(frame, type, encoded);
        fuzz::require(encoded == EncodeFrame(frame, type), "both forms of EncodeFrame agree");
        const DecodedFrame decoded = decodeFrameData(encoded.bytes(), type, frame.size());
        fuzz::require(decoded.consumed == ByteCount(encoded), "the decoder reads the data whole");
        fuzz::require(
            decoded.frame == fuzz::restored(frame, kCodeTypes[static_cast<std::size_t>(type)]),
            "the decoded frame is the encoded one");

        // Limits around the encoded size, and one from the input.
        const std::size_t length = ByteCount(encoded);
        for (const std::size_t limit :
             {length, length + 1, length / 2, limitByte, std::size_t{0}}) {
            const bool fits = EncodeFrameBelow(frame, type, limit, below);
            fuzz::require(fits == (length < limit), "EncodeFrameBelow succeeds below the limit");
            fuzz::require(fits ? below == encoded : below.empty(),
                          "EncodeFrameBelow gives EncodeFrame's data or nothing");
        }
    }
    fuzz::require(EncodeFrame(frame, kCodeTypeCount).empty() && EncodeFrame(frame, 2.5).empty(),
                  "no code type past 8 and no fraction encodes");
    return 0;
}
