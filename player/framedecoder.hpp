#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "bitstring.hpp"

namespace player {

// Encoded data that does not describe a frame of the expected size.
class DecodeError : public std::runtime_error {
  public:
    DecodeError(const std::string& what, std::size_t offset)
        : std::runtime_error(what + " at byte offset " + std::to_string(offset)),
          m_offset(offset) {}
    // Byte offset of the problem within the data given to the decoder.
    std::size_t offset() const noexcept { return m_offset; }

  private:
    std::size_t m_offset;
};

// One frame decoded from its encoded data.
struct DecodedFrame {
    TIFunctions::BitString frame;  // frameBits bits
    std::size_t consumed = 0;      // bytes of data that the frame's code took
};

// Decodes the data of code type 0 to 8 that starts at data[0] into a frame of frameBits bits.
// Bits that the code does not describe (the incomplete tail byte of the byte-run codes) are 0.
// Throws DecodeError when the data ends early, is malformed or does not fit the frame.
DecodedFrame decodeFrameData(std::span<const std::uint8_t> data, int codeType,
                             std::size_t frameBits);

// One frame record of an output stream, with the screen after it.
struct Record {
    std::size_t offset = 0;  // byte offset of the header byte
    std::size_t size = 0;    // header byte included
    bool difference = false;
    int codeType = 0;
    TIFunctions::BitString screen;  // the calculator's screen once the record is applied
};

// Decodes a stream of frame records (header byte: bit 7 difference, bits 6..0 code type) starting
// from a blank screen. Throws DecodeError naming the record number and its byte offset.
std::vector<Record> decodeRecords(std::span<const std::uint8_t> data, std::size_t frameBits);

}  // namespace player
