#include "framesearch.hpp"

#include <algorithm>
#include <limits>

#include "tifunctions.hpp"

namespace conversion {

using TIFunctions::BitString;

BitString Interlace(const BitString& x, const BitString& reference, std::size_t width,
                    std::size_t k) {
    if (width == 0 || x.size() != reference.size()) return x;
    const std::size_t rows = x.size() / width;
    BitString result = x;
    // Row L counted from 1 is row L - 1 counted from 0: L mod 2 = k mod 2 keeps x.
    const std::size_t keptParity = (k + 1) % 2;
    for (std::size_t row = 0; row < rows; ++row) {
        if (row % 2 == keptParity) continue;
        result.copyBits(reference, row * width, width);
    }
    return result;
}

std::uint8_t RecordHeader(FrameKind kind, int codeType) {
    return static_cast<std::uint8_t>((kind == FrameKind::Difference ? 0x80U : 0U) |
                                     (static_cast<unsigned>(codeType) & 0x7FU));
}

const SearchChoice& FrameSearch::search(const BitString& frame, const BitString& reference,
                                        std::size_t k, double quality, double wantInterlace,
                                        std::size_t width) {
    // Build the candidates in the order they are tried: shown frame and data to encode.
    int count = 0;
    auto add = [&](const BitString& shown, bool difference) {
        Candidate& c = m_candidates[static_cast<std::size_t>(count++)];
        c.shown = shown;
        c.data = difference ? TIFunctions::XorFrames(shown, reference) : shown;
    };
    add(frame, false);
    add(frame, true);
    if (k % 10 != 0) {
        const BitString blended = TIFunctions::BlendFrames(frame, reference, quality);
        add(blended, false);
        add(blended, true);
        if (wantInterlace == 1) {
            const BitString interlaced = Interlace(frame, reference, width, k);
            add(interlaced, false);
            add(interlaced, true);
            const BitString blendedInterlaced =
                TIFunctions::BlendFrames(interlaced, reference, quality);
            add(blendedInterlaced, false);
            add(blendedInterlaced, true);
            const BitString interlacedBlended = Interlace(blended, reference, width, k);
            add(interlacedBlended, false);
            add(interlacedBlended, true);
        }
    }

    std::size_t bestSize = std::numeric_limits<std::size_t>::max();
    int best = -1;
    for (int i = 0; i < count; ++i) {
        const Candidate& c = m_candidates[static_cast<std::size_t>(i)];
        // The same data as an earlier candidate gives the same sizes, and ties never win.
        const bool repeated =
            std::any_of(m_candidates.begin(), m_candidates.begin() + i,
                        [&](const Candidate& earlier) { return earlier.data == c.data; });
        if (repeated) continue;
        for (int type = 0; type < kSearchedCodeTypes; ++type) {
            if (!TIFunctions::EncodeFrameBelow(c.data, type, bestSize, m_scratch)) continue;
            bestSize = TIFunctions::ByteCount(m_scratch);
            best = i;
            m_choice.codeType = type;
            std::swap(m_choice.data, m_scratch);
        }
    }
    const Candidate& winner = m_candidates[static_cast<std::size_t>(best)];
    m_choice.candidate = best + 1;
    m_choice.kind = best % 2 == 0 ? FrameKind::Key : FrameKind::Difference;
    m_choice.shown = winner.shown;
    return m_choice;
}

}  // namespace conversion
