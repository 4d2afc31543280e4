#include "framedecoder.hpp"

#include "tifunctions.hpp"

namespace TIFunctions {

namespace {

// Reads the data byte by byte and reports where it ran short.
class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> data) : m_data(data) {}

    std::uint8_t next(const char* what) {
        if (m_pos >= m_data.size())
            throw DecodeError(std::string("data ends inside ") + what, m_pos);
        return m_data[m_pos++];
    }
    std::size_t next16(const char* what) {
        const std::size_t high = next(what);
        return high << 8 | next(what);
    }
    std::size_t position() const noexcept { return m_pos; }

  private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
};

void putByte(BitString& frame, std::size_t byteIndex, std::uint8_t value) {
    for (int b = 0; b < 8; ++b)
        frame.setBit(byteIndex * 8 + b, (value >> (7 - b)) & 1U);
}

// Expands byte-run items into frame bytes [first, first + count).
void expandRuns(Reader& in, BitString& frame, std::size_t first, std::size_t count) {
    std::size_t at = first;
    const std::size_t end = first + count;
    while (at < end) {
        const std::size_t itemStart = in.position();
        const std::uint8_t b = in.next("a byte-run item");
        std::size_t repeat = 1;
        std::uint8_t value = b;
        if (b == kMarkerByte) {
            value = in.next("a byte-run token");
            repeat = in.next("a byte-run token");
            const bool escape = value == kMarkerByte && repeat == 1;
            if (!escape && repeat < 3) throw DecodeError("invalid byte-run token", itemStart);
        }
        if (at + repeat > end) throw DecodeError("byte run passes the end of the frame", itemStart);
        for (std::size_t i = 0; i < repeat; ++i)
            putByte(frame, at++, value);
    }
}

// Applies bit-run tokens from bit position start up to the end token.
void expandBitRuns(Reader& in, BitString& frame, std::size_t start) {
    std::size_t at = start;
    for (;;) {
        const std::size_t tokenStart = in.position();
        const std::uint8_t token = in.next("the bit-run tokens");
        if (token == 0) return;
        if (at >= frame.size())
            throw DecodeError("bit-run token past the end of the frame", tokenStart);
        if (token & 0x80U) {
            // Bits of a literal that reach past the frame's end carry no pixel.
            for (int b = 0; b < 7 && at < frame.size(); ++b, ++at) {
                frame.setBit(at, (token >> (6 - b)) & 1U);
            }
            continue;
        }
        const std::size_t run = token & 0x3FU;
        if (run < 8) throw DecodeError("bit-run token shorter than 8 bits", tokenStart);
        if (at + run > frame.size())
            throw DecodeError("bit run passes the end of the frame", tokenStart);
        for (std::size_t i = 0; i < run; ++i)
            frame.setBit(at++, (token & 0x40U) != 0);
    }
}

}  // namespace

DecodedFrame decodeFrameData(std::span<const std::uint8_t> data, int codeType,
                             std::size_t frameBits) {
    Reader in(data);
    const std::size_t wholeBytes = frameBits / 8;
    if (codeType < 0 || codeType >= kCodeTypeCount)
        throw DecodeError("unknown code type " + std::to_string(codeType), 0);
    const CodeTypeTraits& traits = kCodeTypes[static_cast<std::size_t>(codeType)];
    DecodedFrame result;
    if (traits.chain == Chain::ByteRun) {
        // Bits outside the span, and the incomplete tail byte, are the fill.
        result.frame = BitString::filled(frameBits, traits.fill != 0);
        std::size_t skip = 0;
        std::size_t span = wholeBytes;
        if (traits.trim == Trim::SkipAndSpan) {
            skip = in.next16("the skip count");
            span = in.next16("the span length");
            if (skip + span > wholeBytes)
                throw DecodeError("skip count and span exceed the frame", 0);
        }
        expandRuns(in, result.frame, skip, span);
    } else {
        // Past the end token lies the background, the complement of the ink.
        result.frame = BitString::filled(frameBits, traits.ink == '0');
        std::size_t skip = 0;
        if (traits.trim == Trim::Skip) {
            skip = in.next16("the skip count");
            if (skip > wholeBytes) throw DecodeError("skip count exceeds the frame", 0);
            for (std::size_t i = 0; i < skip; ++i)
                putByte(result.frame, i, traits.fill);
        }
        expandBitRuns(in, result.frame, skip * 8);
    }
    result.consumed = in.position();
    return result;
}

RecordDecoder::RecordDecoder(std::span<const std::uint8_t> data, std::size_t frameBits)
    : m_data(data), m_frameBits(frameBits), m_screen(BitString::filled(frameBits, false)) {}

bool RecordDecoder::next() {
    if (m_position >= m_data.size()) return false;
    RecordHeader header;
    header.offset = m_position;
    header.difference = (m_data[m_position] & 0x80U) != 0;
    header.codeType = m_data[m_position] & 0x7F;
    if (header.codeType >= kCodeTypeCount) {
        // The header byte itself is at fault.
        throw RecordError(m_count, m_position,
                          DecodeError("unknown code type " + std::to_string(header.codeType), 0),
                          m_position);
    }
    try {
        DecodedFrame decoded =
            decodeFrameData(m_data.subspan(m_position + 1), header.codeType, m_frameBits);
        m_screen =
            header.difference ? XorFrames(m_screen, decoded.frame) : std::move(decoded.frame);
        header.size = 1 + decoded.consumed;
    } catch (const DecodeError& error) {
        throw RecordError(m_count, m_position, error, m_position + 1 + error.offset());
    }
    m_header = header;
    m_position += header.size;
    ++m_count;
    return true;
}

void RecordDecoder::resume(std::size_t count, std::size_t position, BitString screen) {
    m_count = count;
    m_position = position;
    m_screen = std::move(screen);
    m_header = RecordHeader{};
}

std::vector<Record> decodeRecords(std::span<const std::uint8_t> data, std::size_t frameBits) {
    std::vector<Record> records;
    RecordDecoder decoder(data, frameBits);
    while (decoder.next()) {
        const RecordHeader& header = decoder.header();
        records.push_back(
            {header.offset, header.size, header.difference, header.codeType, decoder.screen()});
    }
    return records;
}

}  // namespace TIFunctions
