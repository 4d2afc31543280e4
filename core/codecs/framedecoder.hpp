#pragma once

// The decoder beside the encoder: frame data and streams of frame records back into frames.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "bitstring.hpp"

namespace TIFunctions {

// Encoded data that does not describe a frame of the expected size.
class DecodeError : public std::runtime_error {
  public:
    DecodeError(const std::string& what, std::size_t offset)
        : std::runtime_error(what + " at byte offset " + std::to_string(offset)),
          m_reason(what),
          m_offset(offset) {}
    // Byte offset of the problem within the data given to the decoder.
    std::size_t offset() const noexcept { return m_offset; }
    // What is wrong, without the offset.
    const std::string& reason() const noexcept { return m_reason; }

  private:
    std::string m_reason;
    std::size_t m_offset;
};

// A frame record of a stream that does not decode: a DecodeError whose offset counts from the
// start of the stream, naming the record (numbered from 0, as the frames are) and its header.
class RecordError : public DecodeError {
  public:
    RecordError(std::size_t record, std::size_t headerOffset, const DecodeError& cause,
                std::size_t offset)
        : DecodeError("record " + std::to_string(record) + " (header at byte " +
                          std::to_string(headerOffset) + "): " + cause.reason(),
                      offset),
          m_record(record),
          m_headerOffset(headerOffset) {}
    // Number of the record, from 0.
    std::size_t record() const noexcept { return m_record; }
    // Byte offset of the record's header byte within the stream.
    std::size_t headerOffset() const noexcept { return m_headerOffset; }

  private:
    std::size_t m_record;
    std::size_t m_headerOffset;
};

// One frame decoded from its encoded data.
struct DecodedFrame {
    BitString frame;           // frameBits bits
    std::size_t consumed = 0;  // bytes of data that the frame's code took
};

// Decodes the data of code type 0 to 8 that starts at data[0] into a frame of frameBits bits.
// Bits that the code does not describe (the incomplete tail byte of the byte-run codes) are 0.
// Throws DecodeError when the data ends early, is malformed or does not fit the frame.
DecodedFrame decodeFrameData(std::span<const std::uint8_t> data, int codeType,
                             std::size_t frameBits);

// Where a frame record lies in its stream and what kind it is.
struct RecordHeader {
    std::size_t offset = 0;  // byte offset of the header byte
    std::size_t size = 0;    // header byte included
    bool difference = false;
    int codeType = 0;
};

// Decodes a stream of frame records one record at a time onto one screen, which starts blank: its
// memory is a screen and a frame, whatever the number of records.
class RecordDecoder {
  public:
    // A decoder at the first record of data, for screens of frameBits bits.
    RecordDecoder(std::span<const std::uint8_t> data, std::size_t frameBits);

    // Decodes the next record and applies it to the screen; false, changing nothing, at the end
    // of the data. Throws RecordError naming the record number and its byte offset.
    bool next();
    // The record next() decoded last.
    const RecordHeader& header() const noexcept { return m_header; }
    // The screen once that record is applied; blank before the first.
    const BitString& screen() const noexcept { return m_screen; }
    // Records decoded so far: the number of the next record.
    std::size_t count() const noexcept { return m_count; }
    // Byte offset of the next record.
    std::size_t position() const noexcept { return m_position; }
    // Goes on from where another decoder of the same data stood: count records decoded, the next
    // one at byte offset position, and screen shown.
    void resume(std::size_t count, std::size_t position, BitString screen);

  private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_frameBits;
    BitString m_screen;
    RecordHeader m_header;
    std::size_t m_count = 0;
    std::size_t m_position = 0;
};

// One frame record of an output stream, with the screen after it.
struct Record {
    std::size_t offset = 0;  // byte offset of the header byte
    std::size_t size = 0;    // header byte included
    bool difference = false;
    int codeType = 0;
    BitString screen;  // the calculator's screen once the record is applied
};

// Decodes a stream of frame records (header byte: bit 7 difference, bits 6..0 code type) starting
// from a blank screen, keeping every screen (RecordDecoder keeps one). Throws RecordError naming
// the record number and its byte offset.
std::vector<Record> decodeRecords(std::span<const std::uint8_t> data, std::size_t frameBits);

}  // namespace TIFunctions
