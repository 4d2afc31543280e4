#include "datafile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace player {

DataFileError::DataFileError(std::string path, std::string reason)
    : std::runtime_error("cannot read " + path + ": " + reason),
      m_path(std::move(path)),
      m_expected(std::move(reason)) {}

DataFileError::DataFileError(std::string path, std::size_t line, std::size_t column,
                             std::string expected, std::string found)
    : std::runtime_error(path + ":" + std::to_string(line) + ":" + std::to_string(column) +
                         ": expected " + expected + ", found " + found),
      m_path(std::move(path)),
      m_line(line),
      m_column(column),
      m_expected(std::move(expected)),
      m_found(std::move(found)) {}

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
        throw DataFileError(m_path, m_line, m_pos - m_lineStart + 1, expected,
                            describe(m_text, m_pos));
    }

    std::string_view m_text;
    const std::string& m_path;
    std::size_t m_pos = 0;
    std::size_t m_lineStart = 0;
    std::size_t m_line = 1;
};

// Closes a file descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const noexcept { return m_fd; }

  private:
    int m_fd;
};

}  // namespace

std::vector<std::uint8_t> parseDataLines(std::string_view text, const std::string& path) {
    return LineScanner(text, path).scan();
}

std::vector<std::uint8_t> readDataFile(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) throw DataFileError(path, std::strerror(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) throw DataFileError(path, std::strerror(errno));
    if (S_ISDIR(status.st_mode)) throw DataFileError(path, "it is a folder");
    std::string text;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw DataFileError(path, std::strerror(errno));
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return parseDataLines(text, path);
}

}  // namespace player
