#pragma once

// What each code type does to a frame, and the captions and places of the statistics panel.
// The encoder, the decoder and every statistics panel read these tables; docs/formats.md has
// the same rules in prose.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace TIFunctions {

// Code types with a codec chain, and those that only have a caption in the statistics.
inline constexpr int kCodeTypeCount = 9;
inline constexpr int kCaptionCount = 12;

// The coder that writes a code type's data.
enum class Chain { ByteRun, BitRun };

// What the data records of the fill bytes cut off the frame before it is coded.
enum class Trim {
    None,         // nothing is cut: the whole frame is coded
    Skip,         // the 16-bit skip count; the coder's end token ends the span
    SkipAndSpan,  // the 16-bit skip count and the 16-bit span length
};

// The rules of one code type.
struct CodeTypeTraits {
    Chain chain;
    Trim trim;
    // The byte cut off the ends (0 or 255); with Trim::None, the value of the bits the code does
    // not describe.
    std::uint8_t fill;
    // The ink of a bit-run code ('1' or '0'): the coder stops once no ink bit is left, and the
    // background is the complement. The byte-run codes have no ink and hold '1'.
    char ink;
    std::string_view caption;
};

// Code types 0 to 8, by number.
inline constexpr std::array<CodeTypeTraits, kCodeTypeCount> kCodeTypes = {{
    {Chain::ByteRun, Trim::None, 0x00, '1', "NRLE:"},
    {Chain::ByteRun, Trim::SkipAndSpan, 0x00, '1', "NTNRLE:"},
    {Chain::ByteRun, Trim::SkipAndSpan, 0xFF, '1', "ITNRLE:"},
    {Chain::BitRun, Trim::None, 0x00, '1', "NZCP:"},
    {Chain::BitRun, Trim::None, 0xFF, '0', "IZCP:"},
    {Chain::BitRun, Trim::Skip, 0x00, '1', "NTNZCP:"},
    {Chain::BitRun, Trim::Skip, 0xFF, '0', "ITIZCP:"},
    {Chain::BitRun, Trim::Skip, 0xFF, '1', "ITNZCP:"},
    {Chain::BitRun, Trim::Skip, 0x00, '0', "NTIZCP:"},
}};

// Captions of the statistics counters 9 to 11, which no codec writes.
inline constexpr std::array<std::string_view, kCaptionCount - kCodeTypeCount> kStatisticsCaptions =
    {"NEZCMP:", "NTNEZCMP:", "ITNEZCMP:"};

// The statistics panel: the counter shown in each row and column. The byte-run codes stand in
// the first column, the bit-run codes in the other two, the captions without a codec below them.
inline constexpr int kPanelRows = 4;
inline constexpr int kPanelColumns = 3;
inline constexpr int kPanel[kPanelRows][kPanelColumns] = {
    {0, 3, 5}, {1, 4, 6}, {2, 10, 7}, {9, 11, 8}};

// A decoder can follow every type: a byte-run code has no end mark, so a trimmed one records its
// span length; a bit-run code ends at its end token and records none; fill is a whole byte.
static_assert(
    [] {
        for (const CodeTypeTraits& traits : kCodeTypes) {
            const bool trimFits = traits.chain == Chain::ByteRun ? traits.trim != Trim::Skip
                                                                 : traits.trim != Trim::SkipAndSpan;
            if (!trimFits || (traits.fill != 0x00 && traits.fill != 0xFF) ||
                (traits.ink != '0' && traits.ink != '1'))
                return false;
        }
        return true;
    }(),
    "every code type must be decodable");
static_assert(
    [] {
        std::array<int, kCaptionCount> seen{};
        for (const auto& row : kPanel) {
            for (const int counter : row) {
                if (counter < 0 || counter >= kCaptionCount) return false;
                ++seen[static_cast<std::size_t>(counter)];
            }
        }
        for (const int times : seen) {
            if (times != 1) return false;
        }
        return true;
    }(),
    "the panel shows every counter once");

// The statistics caption of counter 0 to 11 ("NRLE:", "NTNRLE:", ...); "" for any other.
constexpr std::string_view codeTypeCaption(int counter) {
    if (counter < 0 || counter >= kCaptionCount) return {};
    if (counter < kCodeTypeCount) return kCodeTypes[static_cast<std::size_t>(counter)].caption;
    return kStatisticsCaptions[static_cast<std::size_t>(counter - kCodeTypeCount)];
}

}  // namespace TIFunctions
