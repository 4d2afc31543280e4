#pragma once

#include <array>
#include <cstddef>

#include "bitstring.hpp"

namespace conversion {

// Kind of a frame record: a key frame holds the frame, a difference frame the pixels to invert.
enum class FrameKind { Key = 0, Difference = 1 };

// Code types the search tries, 0 to 6.
inline constexpr int kSearchedCodeTypes = 7;
// Candidate frames of the search, numbered 1 to 10 in the order they are tried.
inline constexpr int kCandidateCount = 10;

// The winner of one frame's search.
struct SearchChoice {
    int candidate = 0;  // 1 to 10
    int codeType = 0;
    FrameKind kind = FrameKind::Key;
    TIFunctions::BitString data;   // the encoded data, without the header byte
    TIFunctions::BitString shown;  // the frame the calculator shows after the record
};

// Frame x with the rows of reference where row L (from 1) has L mod 2 != k mod 2: in odd frames
// the odd rows are refreshed, in even frames the even rows. width is the row length in bits.
TIFunctions::BitString Interlace(const TIFunctions::BitString& x,
                                 const TIFunctions::BitString& reference, std::size_t width,
                                 std::size_t k);

// The header byte of a record: bit 7 the kind, bits 6..0 the code type.
std::uint8_t RecordHeader(FrameKind kind, int codeType);

// Finds the smallest record for the new frame against the reference frame: candidates 1 and 2
// (the frame as key and as difference) always, 3 and 4 (blended by quality) unless k mod 10 is 0,
// 5 to 10 (interlaced) too when wantInterlace is exactly 1; each under code types 0 to 6. A
// result wins only when strictly smaller, so ties go to the earlier candidate and the lower type.
// The result equals that of trying all of them; candidates that repeat an earlier one's data and
// encodings that grow past the best so far are skipped, since they cannot win.
class FrameSearch {
  public:
    const SearchChoice& search(const TIFunctions::BitString& frame,
                               const TIFunctions::BitString& reference, std::size_t k,
                               double quality, double wantInterlace, std::size_t width);

  private:
    struct Candidate {
        TIFunctions::BitString shown;
        TIFunctions::BitString data;
    };

    std::array<Candidate, kCandidateCount> m_candidates;
    TIFunctions::BitString m_scratch;
    SearchChoice m_choice;
};

}  // namespace conversion
