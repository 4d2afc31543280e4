#pragma once

// What a code type gives back of a frame, for the fuzz targets that decode what was encoded.

#include <cstddef>

#include "bitstring.hpp"
#include "codetypes.hpp"
#include "tifunctions.hpp"

namespace fuzz {

// The frame that a code type's data gives back for frame: the bits the data carries as they
// were, the rest as the fill (byte-run) or the background (bit-run). Only an untrimmed bit-run
// code carries the incomplete tail byte; a bit-run code whose fill is not its background (types 7
// and 8) leaves out the fill bytes after the span.
inline TIFunctions::BitString restored(const TIFunctions::BitString& frame,
                                       const TIFunctions::CodeTypeTraits& traits) {
    using TIFunctions::Chain;
    using TIFunctions::Trim;
    const bool bitRun = traits.chain == Chain::BitRun;
    const bool fill = traits.fill != 0;
    const bool rest = bitRun ? traits.ink == '0' : fill;
    std::size_t carried = frame.size() / 8 * 8;
    if (bitRun && traits.trim == Trim::None) carried = frame.size();
    if (bitRun && traits.trim != Trim::None && fill != rest) {
        // A frame of fill bytes only is all skip count, and so carried whole.
        const std::size_t last = TIFunctions::LastNonFillByte(frame, fill ? '1' : '0');
        if (last > 0) carried = last * 8;
    }
    TIFunctions::BitString expected = TIFunctions::BitString::filled(frame.size(), rest);
    expected.copyBits(frame, 0, carried);
    return expected;
}

}  // namespace fuzz
