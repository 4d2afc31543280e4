#pragma once

// The bit-string helpers, the frame codecs and their dispatch by code type.
// Every operation is a pure function: no state, no failure, the arguments are never changed.
// The bit formats are documented in docs/formats.md.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "bitstring.hpp"
#include "codetypes.hpp"

namespace TIFunctions {

// The marker byte of the byte-run code.
inline constexpr std::uint8_t kMarkerByte = 145;
// Largest frame, in whole bytes, whose skip count and span length fit the 16-bit header fields.
inline constexpr std::size_t kMaxHeaderValue = 65535;
// Key and difference frame counts for code types 0 to 11.
using CodeTypeTally = std::array<std::array<std::size_t, 2>, kCaptionCount>;
// The counts as the statistics panel arranges them (kPanel): four lines, each ended by a line
// feed, of three "CAPTION key / difference" cells.
std::string codeTypePanel(const CodeTypeTally& tally);

// Bits (k-1)*8+1 .. k*8 of bits for k >= 1: 8 bits, fewer at an incomplete tail, none past the end.
BitString GetByte(const BitString& bits, std::size_t k);
// floor(bits.size() / 8).
std::size_t ByteCount(const BitString& bits);
// Binary digits of value, most significant first, left-padded with "0" to at least 8 digits.
std::string ToBinary8(std::uint64_t value);
// As ToBinary8, padded to at least 16 digits.
std::string ToBinary16(std::uint64_t value);
// Decimal digits of value, left-padded with "0" to at least 8 digits.
std::string ToDecimal8(std::uint64_t value);

// Positions 0 .. a.size()-1 at which a and b differ; positions past the end of b count as
// different.
std::size_t CountDifferentBits(const BitString& a, const BitString& b);
// The difference frame: 1 where current and reference differ (past the end of reference too);
// empty when their byte counts differ.
BitString XorFrames(const BitString& current, const BitString& reference);
// Per whole byte: the reference byte where fewer than threshold bits differ, else the current
// byte; an incomplete tail is dropped. Empty when the byte counts differ.
BitString BlendFrames(const BitString& current, const BitString& reference, double threshold);

// Byte-run code of the whole bytes of bits: plain bytes, runs (145, b, n) of 3 to 255, and the
// escape 145, 145, 1 for the marker byte itself.
BitString RleEncode(const BitString& bits);
// Bit-run code: runs of 8 to 63 equal bits, 7-bit literals, the end token 0. Stops as soon as no
// ink bit is left. ink is '0' or '1'; a final literal cut short by the end is padded with the
// background (the complement of the ink), so that a decoder restores the pixels after it.
BitString ZcpEncode(const BitString& bits, char ink);

// Index from 1 of the first whole byte that is not fill repeated 8 times; ByteCount+1 if none.
std::size_t FirstNonFillByte(const BitString& bits, char fill);
// Index from 1 of the last whole byte that is not a fill byte; 0 if none.
std::size_t LastNonFillByte(const BitString& bits, char fill);
// The whole bytes from the first to the last non-fill byte; empty if every whole byte is fill.
BitString TrimFillBytes(const BitString& bits, char fill);

// The encoded data of frame under codeType 0 to 8; empty for any other value, fractions included.
BitString EncodeFrame(const BitString& frame, double codeType);
// As EncodeFrame, into out, whose storage is reused from call to call.
void EncodeFrame(const BitString& frame, double codeType, BitString& out);
// As EncodeFrame into out when the result is shorter than limit bytes; otherwise gives up as soon
// as it knows, returns false and leaves out empty. Lets a search skip codes that cannot win.
bool EncodeFrameBelow(const BitString& frame, double codeType, std::size_t limit, BitString& out);

}  // namespace TIFunctions
