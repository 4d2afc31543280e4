#include "tifunctions.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

namespace TIFunctions {

namespace {

// The 64 bits that start at bit position pos of p, first bit in the most significant place.
// p must be readable for nine bytes from byte pos / 8 (the padding of BitString guarantees it).
inline std::uint64_t load64(const std::uint8_t* p, std::size_t pos) {
    const std::uint8_t* q = p + pos / 8;
    std::uint64_t word;
    std::memcpy(&word, q, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    const unsigned shift = pos % 8;
    if (shift != 0) word = (word << shift) | (q[8] >> (8 - shift));
    return word;
}

inline std::uint64_t loadWord(const std::uint8_t* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

std::optional<std::uint8_t> fillByteOf(char fill) {
    if (fill == '0') return std::uint8_t{0x00};
    if (fill == '1') return std::uint8_t{0xFF};
    return std::nullopt;  // a fill character that no byte is made of
}

// Index from 0 of the first byte of p[0, n) that is not fill, or n.
std::size_t firstNonFill(const std::uint8_t* p, std::size_t n, std::uint8_t fill) {
    const std::uint64_t fillWord = fill == 0 ? 0 : ~std::uint64_t{0};
    std::size_t i = 0;
    while (i + 8 <= n && loadWord(p + i) == fillWord)
        i += 8;
    while (i < n && p[i] == fill)
        ++i;
    return i;
}

// Number of bytes of p[0, n) up to and including the last one that is not fill; 0 if none.
std::size_t endOfNonFill(const std::uint8_t* p, std::size_t n, std::uint8_t fill) {
    const std::uint64_t fillWord = fill == 0 ? 0 : ~std::uint64_t{0};
    std::size_t end = n;
    while (end >= 8 && loadWord(p + end - 8) == fillWord)
        end -= 8;
    while (end > 0 && p[end - 1] == fill)
        --end;
    return end;
}

// The span of whole bytes left after cutting the fill bytes off both ends.
struct Span {
    std::size_t skip = 0;   // fill bytes cut off at the front
    std::size_t bytes = 0;  // bytes that remain
};

Span trimmedSpan(const BitString& bits, std::uint8_t fill) {
    const std::size_t n = bits.wholeBytes();
    const std::size_t first = firstNonFill(bits.data(), n, fill);
    if (first == n) return {n, 0};
    return {first, endOfNonFill(bits.data(), n, fill) - first};
}

// Worst cases: every byte a marker (three bytes each); a literal token per seven bits and the end.
constexpr std::size_t rleBound(std::size_t bytes) {
    return 3 * bytes;
}
constexpr std::size_t zcpBound(std::size_t bits) {
    return bits / 7 + 2;
}

// Byte-run code of p[0, n) into out; returns the end of what was written, or nullptr as soon as
// the output reaches stop.
std::uint8_t* rleCore(const std::uint8_t* p, std::size_t n, std::uint8_t* out,
                      const std::uint8_t* stop) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kMarkers = kOnes * kMarkerByte;
    auto hasZeroByte = [](std::uint64_t v) { return ((v - kOnes) & ~v & (kOnes << 7)) != 0; };
    std::size_t i = 0;
    while (i < n) {
        if (out >= stop) return nullptr;
        // Eight bytes at a time while none is a marker and none equals the byte after it: each
        // of them is a plain byte.
        while (i + 9 <= n) {
            const std::uint64_t here = loadWord(p + i);
            if (hasZeroByte(here ^ loadWord(p + i + 1)) || hasZeroByte(here ^ kMarkers)) break;
            std::memcpy(out, p + i, 8);
            out += 8;
            i += 8;
        }
        const std::uint8_t b = p[i];
        if (b == kMarkerByte) {
            // The marker byte is escaped one by one; markers are never joined into a run.
            *out++ = kMarkerByte;
            *out++ = kMarkerByte;
            *out++ = 1;
            ++i;
            continue;
        }
        const std::size_t limit = std::min(n, i + 255);
        std::size_t j = i + 1;
        while (j < limit && p[j] == b) {
            // A long run goes on a word at a time; short ones are faster byte by byte.
            if (++j - i == 16) {
                const std::uint64_t pattern = kOnes * b;
                while (j + 8 <= limit && loadWord(p + j) == pattern)
                    j += 8;
            }
        }
        const std::size_t run = j - i;
        if (run >= 3) {
            *out++ = kMarkerByte;
            *out++ = b;
            *out++ = static_cast<std::uint8_t>(run);
        } else {
            *out++ = b;
            if (run == 2) *out++ = b;
        }
        i = j;
    }
    return out < stop ? out : nullptr;
}

// Index from 0 of the last bit of p[0, bits) equal to ink, or -1 when there is none.
std::ptrdiff_t lastInkBit(const std::uint8_t* p, std::size_t bits, bool ink) {
    const std::uint8_t flip = ink ? 0x00 : 0xFF;  // makes the ink bits ones
    std::size_t byteEnd = bits / 8;
    if (bits % 8 != 0) {
        const auto valid = static_cast<std::uint8_t>(0xFF00U >> (bits % 8));
        const auto tail = static_cast<std::uint8_t>((p[byteEnd] ^ flip) & valid);
        if (tail != 0) {
            return static_cast<std::ptrdiff_t>(byteEnd * 8 + 7) - std::countr_zero(tail);
        }
    }
    byteEnd = endOfNonFill(p, byteEnd, flip);
    if (byteEnd == 0) return -1;
    const auto last = static_cast<std::uint8_t>(p[byteEnd - 1] ^ flip);
    return static_cast<std::ptrdiff_t>(byteEnd * 8 - 1) - std::countr_zero(last);
}

// Bit-run code of the bits p[0, bits) into out; returns the end of what was written, or nullptr
// as soon as the output reaches stop.
std::uint8_t* zcpCore(const std::uint8_t* p, std::size_t bits, bool ink, std::uint8_t* out,
                      const std::uint8_t* stop) {
    if (bits > 0) {
        const std::ptrdiff_t lastInk = lastInkBit(p, bits, ink);
        std::size_t pos = 0;
        // The first token is always written; after each one the coder stops when no ink is left.
        do {
            const std::uint64_t word = load64(p, pos);
            const bool value = (word >> 63) != 0;
            const std::uint64_t differs = value ? ~word : word;
            const std::size_t left = bits - pos;
            std::size_t run =
                differs == 0 ? 64 : static_cast<std::size_t>(std::countl_zero(differs));
            run = std::min(run, left);
            if (run >= 8) {
                // A run of 64 or more is cut at 63; its 64th bit starts the next run.
                run = std::min<std::size_t>(run, 63);
                *out++ = static_cast<std::uint8_t>((value ? 0x40U : 0x00U) | run);
                pos += run;
            } else {
                auto literal = static_cast<std::uint8_t>(0x80U | (word >> 57));
                if (left < 7) {
                    // Positions past the end carry the background, so that a decoder that writes
                    // them over the pixels after the coded bits restores those pixels.
                    const auto past = static_cast<std::uint8_t>((1U << (7 - left)) - 1);
                    literal = static_cast<std::uint8_t>((literal & ~past) | (ink ? 0 : past));
                }
                *out++ = literal;
                pos += 7;
            }
            if (out >= stop) return nullptr;
        } while (static_cast<std::ptrdiff_t>(pos) <= lastInk);
    }
    *out++ = 0;  // the end token
    return out < stop ? out : nullptr;
}

void putHeader16(std::uint8_t*& out, std::size_t value) {
    *out++ = static_cast<std::uint8_t>(value >> 8);
    *out++ = static_cast<std::uint8_t>(value & 0xFF);
}

std::string toDigits(std::uint64_t value, unsigned base, std::size_t width) {
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + value % base));
        value /= base;
    } while (value != 0);
    if (digits.size() < width) digits.append(width - digits.size(), '0');
    std::reverse(digits.begin(), digits.end());
    return digits;
}

// Header fields too large for 16 bits keep all their digits, as the digit helpers do; such frames
// are outside what the converter accepts, but the result is still the exact concatenation.
void encodeWideHeaders(const BitString& frame, const CodeTypeTraits& traits, BitString& out) {
    const Span span = trimmedSpan(frame, traits.fill);
    BitString trimmed =
        BitString::fromBytes(std::span<const std::uint8_t>(frame.data() + span.skip, span.bytes));
    BitString result = BitString::fromText(ToBinary16(span.skip));
    if (traits.trim == Trim::SkipAndSpan)
        result.append(BitString::fromText(ToBinary16(span.bytes)));
    if (traits.chain == Chain::ByteRun) {
        result.append(RleEncode(trimmed));
    } else {
        result.append(ZcpEncode(trimmed, traits.ink));
    }
    out = std::move(result);
}

}  // namespace

std::string codeTypePanel(const CodeTypeTally& tally) {
    constexpr std::size_t kCellWidth = 23;
    std::string panel;
    for (const auto& row : kPanel) {
        std::string line = " ";
        for (const int counter : row) {
            const auto& count = tally[static_cast<std::size_t>(counter)];
            std::string cell = " ";
            cell += codeTypeCaption(counter);
            cell.resize(std::max<std::size_t>(cell.size(), 11), ' ');
            cell += std::to_string(count[0]) + " / " + std::to_string(count[1]);
            cell.resize(std::max(cell.size(), kCellWidth), ' ');
            line += cell;
        }
        panel += line.substr(0, line.find_last_not_of(' ') + 1) + '\n';
    }
    return panel;
}

BitString GetByte(const BitString& bits, std::size_t k) {
    BitString result;
    if (k == 0) return result;
    const std::size_t start = (k - 1) * 8;
    const std::size_t end = std::min(bits.size(), start + 8);
    for (std::size_t i = start; i < end; ++i)
        result.pushBit(bits.bit(i));
    return result;
}

std::size_t ByteCount(const BitString& bits) {
    return bits.wholeBytes();
}

std::string ToBinary8(std::uint64_t value) {
    return toDigits(value, 2, 8);
}

std::string ToBinary16(std::uint64_t value) {
    return toDigits(value, 2, 16);
}

std::string ToDecimal8(std::uint64_t value) {
    return toDigits(value, 10, 8);
}

std::size_t CountDifferentBits(const BitString& a, const BitString& b) {
    const std::size_t common = std::min(a.size(), b.size());
    const std::uint8_t* x = a.data();
    const std::uint8_t* y = b.data();
    std::size_t count = 0;
    std::size_t i = 0;
    for (; i + 64 <= common; i += 64)
        count += std::popcount(loadWord(x + i / 8) ^ loadWord(y + i / 8));
    for (; i < common; ++i)
        count += a.bit(i) != b.bit(i) ? 1 : 0;
    return count + (a.size() - common);
}

BitString XorFrames(const BitString& current, const BitString& reference) {
    const std::size_t n = current.wholeBytes();
    if (n != reference.wholeBytes()) return {};
    BitString result;
    std::uint8_t* out = result.beginWrite(n + 1);
    const std::uint8_t* x = current.data();
    const std::uint8_t* y = reference.data();
    for (std::size_t i = 0; i < n; ++i)
        out[i] = x[i] ^ y[i];
    result.commit(n);
    // The incomplete tail, bit by bit: positions past the reference's end count as different.
    for (std::size_t i = n * 8; i < current.size(); ++i) {
        result.pushBit(i >= reference.size() || current.bit(i) != reference.bit(i));
    }
    return result;
}

BitString BlendFrames(const BitString& current, const BitString& reference, double threshold) {
    const std::size_t n = current.wholeBytes();
    if (n != reference.wholeBytes()) return {};
    BitString result;
    std::uint8_t* out = result.beginWrite(n);
    const std::uint8_t* x = current.data();
    const std::uint8_t* y = reference.data();
    for (std::size_t i = 0; i < n; ++i) {
        const auto changed = static_cast<double>(std::popcount(static_cast<unsigned>(x[i] ^ y[i])));
        out[i] = changed < threshold ? y[i] : x[i];
    }
    result.commit(n);
    return result;
}

BitString RleEncode(const BitString& bits) {
    BitString result;
    const std::size_t n = bits.wholeBytes();
    std::uint8_t* out = result.beginWrite(rleBound(n));
    const std::size_t bound = rleBound(n);
    result.commit(static_cast<std::size_t>(rleCore(bits.data(), n, out, out + bound + 1) - out));
    return result;
}

BitString ZcpEncode(const BitString& bits, char ink) {
    BitString result;
    const std::size_t bound = zcpBound(bits.size());
    std::uint8_t* out = result.beginWrite(bound);
    const std::uint8_t* end = zcpCore(bits.data(), bits.size(), ink != '0', out, out + bound + 1);
    result.commit(static_cast<std::size_t>(end - out));
    return result;
}

std::size_t FirstNonFillByte(const BitString& bits, char fill) {
    const auto fillByte = fillByteOf(fill);
    if (!fillByte) return 1;
    return firstNonFill(bits.data(), bits.wholeBytes(), *fillByte) + 1;
}

std::size_t LastNonFillByte(const BitString& bits, char fill) {
    const auto fillByte = fillByteOf(fill);
    if (!fillByte) return bits.wholeBytes();
    return endOfNonFill(bits.data(), bits.wholeBytes(), *fillByte);
}

BitString TrimFillBytes(const BitString& bits, char fill) {
    const auto fillByte = fillByteOf(fill);
    const Span span = fillByte ? trimmedSpan(bits, *fillByte) : Span{0, bits.wholeBytes()};
    return BitString::fromBytes(std::span<const std::uint8_t>(bits.data() + span.skip, span.bytes));
}

bool EncodeFrameBelow(const BitString& frame, double codeType, std::size_t limit, BitString& out) {
    // Only the whole numbers 0 to 8 select a chain; fractions and everything else give nothing.
    if (!(codeType >= 0 && codeType < kCodeTypeCount) || codeType != static_cast<int>(codeType)) {
        out.beginWrite(0);
        out.commit(0);
        return limit > 0;
    }
    const CodeTypeTraits& traits = kCodeTypes[static_cast<std::size_t>(codeType)];
    const std::uint8_t* p = frame.data();
    const std::size_t n = frame.wholeBytes();
    const bool trimmed = traits.trim != Trim::None;
    if (n > kMaxHeaderValue && trimmed) {
        encodeWideHeaders(frame, traits, out);
        return ByteCount(out) < limit;
    }

    const Span span = trimmed ? trimmedSpan(frame, traits.fill) : Span{0, n};
    const bool runCode = traits.chain == Chain::ByteRun;
    // The bit-run coder takes the incomplete tail too when nothing is trimmed.
    const std::size_t codedBits = trimmed ? span.bytes * 8 : frame.size();
    const std::size_t bound = runCode ? 4 + rleBound(span.bytes) : 2 + zcpBound(codedBits);

    std::uint8_t* begin = out.beginWrite(bound);
    // The buffer holds bound plus padding bytes, so the stop mark always lies inside it.
    const std::uint8_t* stop = begin + std::min(limit, bound + 1);
    std::uint8_t* end = begin;
    if (trimmed) putHeader16(end, span.skip);
    if (traits.trim == Trim::SkipAndSpan) putHeader16(end, span.bytes);
    if (runCode) {
        end = rleCore(p + span.skip, span.bytes, end, stop);
    } else {
        end = zcpCore(p + span.skip, codedBits, traits.ink == '1', end, stop);
    }
    out.commit(end == nullptr ? 0 : static_cast<std::size_t>(end - begin));
    return end != nullptr;
}

void EncodeFrame(const BitString& frame, double codeType, BitString& out) {
    EncodeFrameBelow(frame, codeType, static_cast<std::size_t>(-1), out);
}

BitString EncodeFrame(const BitString& frame, double codeType) {
    BitString out;
    EncodeFrame(frame, codeType, out);
    return out;
}

}  // namespace TIFunctions
