#include "datafile.hpp"

#include <cstdio>

#include "wholefile.hpp"

namespace player {

namespace {

constexpr std::size_t kItemsPerLine = 8;

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

class LineScanner {
  public:
    LineScanner(std::string_view text, const std::string& path) : m_text(text), m_path(path) {}

    std::vector<std::uint8_t> scan() {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(m_text.size() / 10 + 1);
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
        return bytes;
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

    std::string_view m_text;
    const std::string& m_path;
    std::size_t m_pos = 0;
    std::size_t m_lineStart = 0;
    std::size_t m_line = 1;
};

}  // namespace

std::vector<std::uint8_t> parseDataLines(std::string_view text, const std::string& path) {
    return LineScanner(text, path).scan();
}

std::vector<std::uint8_t> readDataFile(const std::string& path) {
    return parseDataLines(support::readWholeFile(path), path);
}

}  // namespace player
