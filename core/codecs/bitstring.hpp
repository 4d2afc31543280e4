#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace TIFunctions {

// A sequence of bits, packed eight to a byte with the first bit as the most significant bit of
// byte 0. A 96 x 64 canvas is exactly the calculator's 768-byte screen buffer. The bits past
// size() in the last byte are always 0, and eight zero bytes follow the data so that readers may
// load whole 64-bit words past the end.
class BitString {
  public:
    BitString() = default;

    // Parses the text form ("0" and "1"); throws std::invalid_argument on any other character.
    static BitString fromText(std::string_view text);
    // The given whole bytes.
    static BitString fromBytes(std::span<const std::uint8_t> bytes);
    // count bits, all set to value.
    static BitString filled(std::size_t count, bool value);

    // The text form: one "0" or "1" per bit.
    std::string toText() const;

    // Number of bits.
    std::size_t size() const noexcept { return m_bits; }
    bool empty() const noexcept { return m_bits == 0; }
    // Number of whole bytes, floor(size() / 8).
    std::size_t wholeBytes() const noexcept { return m_bits / 8; }

    // Bit i, counted from 0; i must be below size().
    bool bit(std::size_t i) const noexcept { return (m_bytes[i >> 3] >> (7 - (i & 7))) & 1U; }
    void setBit(std::size_t i, bool value) noexcept;

    // The ceil(size() / 8) bytes that hold the bits; unused bits of the last byte are 0.
    std::span<const std::uint8_t> bytes() const noexcept;
    // Pointer to bytes(); at least eight readable zero bytes follow them.
    const std::uint8_t* data() const noexcept;

    // Copies count bits of source, from position first, over the same positions of this string.
    void copyBits(const BitString& source, std::size_t first, std::size_t count);

    void pushBit(bool value);
    void pushByte(std::uint8_t value);
    void append(const BitString& other);

    // Gives a buffer of maxBytes bytes to fill; commit() then sets the length to whole bytes.
    // Lets the encoders write straight into an output that is reused from call to call.
    std::uint8_t* beginWrite(std::size_t maxBytes);
    void commit(std::size_t byteCount);

    friend bool operator==(const BitString& a, const BitString& b) noexcept;

  private:
    static constexpr std::size_t kPadding = 8;

    void reserveBits(std::size_t bits);

    std::vector<std::uint8_t> m_bytes;  // ceil(m_bits / 8) + kPadding bytes once anything is held
    std::size_t m_bits = 0;
};

}  // namespace TIFunctions
