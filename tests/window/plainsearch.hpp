#pragma once

// The frame search without any shortcut, as the oracle for the converter's search.

#include <vector>

#include "bitstring.hpp"
#include "framesearch.hpp"
#include "tifunctions.hpp"

namespace testsearch {

using TIFunctions::BitString;

struct PlainChoice {
    int candidate = 0;
    int codeType = 0;
    BitString data;
    BitString shown;
};

// The search without any shortcut: every candidate, every code type, the strictly smaller wins.
inline PlainChoice plainSearch(const BitString& n, const BitString& r, std::size_t k,
                               double quality, double interlace, std::size_t width) {
    std::vector<BitString> shown = {n, n};
    if (k % 10 != 0) {
        const BitString b = TIFunctions::BlendFrames(n, r, quality);
        shown.insert(shown.end(), {b, b});
        if (interlace == 1) {
            const BitString i = conversion::Interlace(n, r, width, k);
            const BitString bi = TIFunctions::BlendFrames(i, r, quality);
            const BitString ib = conversion::Interlace(b, r, width, k);
            shown.insert(shown.end(), {i, i, bi, bi, ib, ib});
        }
    }
    PlainChoice best;
    std::size_t bestSize = 1'000'000;
    for (std::size_t c = 0; c < shown.size(); ++c) {
        const BitString data = c % 2 == 0 ? shown[c] : TIFunctions::XorFrames(shown[c], r);
        for (int t = 0; t <= 6; ++t) {
            const BitString encoded = TIFunctions::EncodeFrame(data, t);
            if (TIFunctions::ByteCount(encoded) < bestSize) {
                bestSize = TIFunctions::ByteCount(encoded);
                best = {static_cast<int>(c) + 1, t, encoded, shown[c]};
            }
        }
    }
    return best;
}

}  // namespace testsearch
