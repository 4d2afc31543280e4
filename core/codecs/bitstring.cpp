#include "bitstring.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace TIFunctions {

namespace {

std::size_t bytesFor(std::size_t bits) {
    return (bits + 7) / 8;
}

}  // namespace

BitString BitString::fromText(std::string_view text) {
    BitString result;
    result.reserveBits(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '0' && c != '1') {
            throw std::invalid_argument("bit string: character " + std::to_string(i + 1) +
                                        " is neither '0' nor '1'");
        }
        if (c == '1') result.m_bytes[i >> 3] |= static_cast<std::uint8_t>(0x80U >> (i & 7));
    }
    result.m_bits = text.size();
    return result;
}

BitString BitString::fromBytes(std::span<const std::uint8_t> bytes) {
    BitString result;
    result.reserveBits(bytes.size() * 8);
    std::copy(bytes.begin(), bytes.end(), result.m_bytes.begin());
    result.m_bits = bytes.size() * 8;
    return result;
}

BitString BitString::filled(std::size_t count, bool value) {
    BitString result;
    result.reserveBits(count);
    if (value && count > 0) {
        std::memset(result.m_bytes.data(), 0xFF, count / 8);
        if (count % 8 != 0)
            result.m_bytes[count / 8] = static_cast<std::uint8_t>(0xFF00U >> (count % 8));
    }
    result.m_bits = count;
    return result;
}

std::string BitString::toText() const {
    std::string text(m_bits, '0');
    for (std::size_t i = 0; i < m_bits; ++i) {
        if (bit(i)) text[i] = '1';
    }
    return text;
}

void BitString::setBit(std::size_t i, bool value) noexcept {
    const auto mask = static_cast<std::uint8_t>(0x80U >> (i & 7));
    if (value) {
        m_bytes[i >> 3] |= mask;
    } else {
        m_bytes[i >> 3] &= static_cast<std::uint8_t>(~mask);
    }
}

std::span<const std::uint8_t> BitString::bytes() const noexcept {
    return {m_bytes.data(), bytesFor(m_bits)};
}

const std::uint8_t* BitString::data() const noexcept {
    static constexpr std::uint8_t kNoBytes[kPadding] = {};
    return m_bytes.empty() ? kNoBytes : m_bytes.data();
}

void BitString::reserveBits(std::size_t bits) {
    const std::size_t needed = bytesFor(bits) + kPadding;
    if (m_bytes.size() < needed) m_bytes.resize(std::max(needed, m_bytes.size() * 2), 0);
}

void BitString::copyBits(const BitString& source, std::size_t first, std::size_t count) {
    std::size_t i = first;
    const std::size_t end = first + count;
    for (; i < end && i % 8 != 0; ++i)
        setBit(i, source.bit(i));
    const std::size_t wholeEnd = i + (end - i) / 8 * 8;
    std::copy(source.m_bytes.begin() + static_cast<std::ptrdiff_t>(i / 8),
              source.m_bytes.begin() + static_cast<std::ptrdiff_t>(wholeEnd / 8),
              m_bytes.begin() + static_cast<std::ptrdiff_t>(i / 8));
    for (i = wholeEnd; i < end; ++i)
        setBit(i, source.bit(i));
}

void BitString::pushBit(bool value) {
    reserveBits(m_bits + 1);
    if (value) m_bytes[m_bits >> 3] |= static_cast<std::uint8_t>(0x80U >> (m_bits & 7));
    ++m_bits;
}

void BitString::pushByte(std::uint8_t value) {
    reserveBits(m_bits + 8);
    const std::size_t shift = m_bits & 7;
    if (shift == 0) {
        m_bytes[m_bits >> 3] = value;
    } else {
        m_bytes[m_bits >> 3] |= static_cast<std::uint8_t>(value >> shift);
        m_bytes[(m_bits >> 3) + 1] = static_cast<std::uint8_t>(value << (8 - shift));
    }
    m_bits += 8;
}

void BitString::append(const BitString& other) {
    if (other.m_bits == 0) return;
    reserveBits(m_bits + other.m_bits);
    if ((m_bits & 7) == 0) {
        std::copy_n(other.m_bytes.begin(), bytesFor(other.m_bits), m_bytes.begin() + m_bits / 8);
        m_bits += other.m_bits;
        return;
    }
    const std::size_t whole = other.m_bits / 8;
    for (std::size_t i = 0; i < whole; ++i)
        pushByte(other.m_bytes[i]);
    for (std::size_t i = whole * 8; i < other.m_bits; ++i)
        pushBit(other.bit(i));
}

std::uint8_t* BitString::beginWrite(std::size_t maxBytes) {
    m_bits = 0;
    if (m_bytes.size() < maxBytes + kPadding) m_bytes.resize(maxBytes + kPadding);
    return m_bytes.data();
}

void BitString::commit(std::size_t byteCount) {
    m_bits = byteCount * 8;
    // Keep the invariant: the padding after the data reads as zero. Shrinking keeps the capacity,
    // and a later resize zero-fills what it adds.
    std::fill_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(byteCount), kPadding, 0);
    m_bytes.resize(byteCount + kPadding);
}

bool operator==(const BitString& a, const BitString& b) noexcept {
    if (a.m_bits != b.m_bits) return false;
    const auto x = a.bytes();
    const auto y = b.bytes();
    return std::equal(x.begin(), x.end(), y.begin());
}

}  // namespace TIFunctions
