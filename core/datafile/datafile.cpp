#include "datafile.hpp"

#include <cstdio>

#include "wholefile.hpp"

namespace player {

namespace {

constexpr std::size_t kItemsPerLine = 8;
// Characters per byte of the shortest data lines: eight items of " %bbbbbbbb," and " .db\n".
constexpr std::size_t kTextPerByte = 11;
// A line longer than this is no data line: " .db", eight items and CR LF are 93 characters.
constexpr std::size_t kLongestLine = 128;

// How a reader names the character at position at.
std::string describe(std::string_view text, std::size_t at) {
    if (at >= text.size()) return "the end of the file";
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '\n') return "the line end";
    if (c == '\r') {
        return at + 1 < text.size() && text[at + 1] == '\n'
                   ? "the line end"
                   : "a carriage return without a line feed";
    }
    if (c == '\t') return "a tab";
    if (c == ' ') return "a space";
    if (c > ' ' && c < 127) return std::string("'") + static_cast<char>(c) + "'";
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", c);
    return std::string("the byte ") + hex;
}

// Reads data lines that may come in pieces, each piece a run of whole lines (the last piece may
// end inside a line: it ends at the end of the file).
class LineScanner {
  public:
    explicit LineScanner(const std::string& path) : m_path(path) {}

    // Appends the bytes of the lines of text to bytes.
    void scan(std::string_view text, std::vector<std::uint8_t>& bytes) {
        m_text = text;
        m_pos = 0;
        while (m_pos < m_text.size()) {
            m_lineStart = m_pos;
            for (const char c : std::string_view(" .db")) {
                if (!accept(c)) fail("\" .db\" at the start of the line");
            }
            for (std::size_t items = 1;; ++items) {
                if (!accept(' '))
                    fail(items == 1 ? "a space after \".db\"" : "a space after \",\"");
                if (!accept('%')) fail("'%' before the binary digits");
                std::uint8_t value = 0;
                for (int digit = 0; digit < 8; ++digit) {
                    const char c = peek();
                    if (c != '0' && c != '1') fail("a binary digit (eight of them after '%')");
                    value = static_cast<std::uint8_t>(value << 1 | (c - '0'));
                    ++m_pos;
                }
                bytes.push_back(value);
                if (peek() != ',') break;
                if (items == kItemsPerLine) fail("the line end after the eighth item");
                ++m_pos;
            }
            if (accept('\n')) {
            } else if (peek() == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n') {
                m_pos += 2;
            } else {
                fail("',' or the line end (CR LF or LF) after the eight digits");
            }
            ++m_line;
        }
    }

  private:
    char peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }
    bool accept(char c) {
        if (m_pos >= m_text.size() || m_text[m_pos] != c) return false;
        ++m_pos;
        return true;
    }
    [[noreturn]] void fail(const std::string& expected) const {
        throw support::FileError(m_path,
                                 "expected " + expected + ", found " + describe(m_text, m_pos),
                                 m_line, m_pos - m_lineStart + 1);
    }

    const std::string& m_path;
    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_lineStart = 0;
    std::size_t m_line = 1;
};

}  // namespace

std::vector<std::uint8_t> parseDataLines(std::string_view text, const std::string& path) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / kTextPerByte + 1);
    LineScanner(path).scan(text, bytes);
    return bytes;
}

std::vector<std::uint8_t> readDataFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    LineScanner scanner(path);
    std::string pending;
    std::uint64_t received = 0;
    const auto limit = [&](std::uint64_t size) {
        if (size <= kMaxDataFileBytes) return;
        throw support::FileError(path, "the file is " + std::to_string(size) +
                                           " bytes; a data file may have at most 4 GiB (" +
                                           std::to_string(kMaxDataFileBytes) + " bytes)");
    };
    support::readFileInPieces(
        path,
        [&](std::uint64_t size) {
            limit(size);
            bytes.reserve(static_cast<std::size_t>(size / kTextPerByte + 1));
        },
        [&](std::string_view piece) {
            // A file that grows while it is read, or a pipe, has no size up front.
            limit(received += piece.size());
            pending.append(piece);
            const std::size_t lineEnd = pending.rfind('\n');
            // A line longer than any data line fails within its first characters.
            if (lineEnd == std::string::npos && pending.size() <= kLongestLine) return;
            const std::size_t whole = lineEnd == std::string::npos ? pending.size() : lineEnd + 1;
            scanner.scan(std::string_view(pending).substr(0, whole), bytes);
            pending.erase(0, whole);
        });
    scanner.scan(pending, bytes);
    return bytes;
}

}  // namespace player
