#include "fileerror.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace support {

namespace {

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

std::string location(const std::string& path, std::size_t line, std::size_t column) {
    std::string text = shownPath(path);
    if (line != 0) text += ":" + std::to_string(line);
    if (line != 0 && column != 0) text += ":" + std::to_string(column);
    return text;
}

}  // namespace

FileError::FileError(std::string path, std::string reason, std::size_t line, std::size_t column)
    : std::runtime_error(location(path, line, column) + ": " + reason),
      m_path(std::move(path)),
      m_reason(std::move(reason)),
      m_line(line),
      m_column(column) {}

std::string errorText(int error) {
    return std::strerror(error);
}

std::string shownPath(std::string_view path) {
    if (std::none_of(path.begin(), path.end(), isControl)) return std::string(path);
    std::string text = "\"";
    for (const char c : path) {
        switch (c) {
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\t':
                text += "\\t";
                break;
            case '"':
                text += "\\\"";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                if (isControl(c)) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\x%02X",
                                  static_cast<unsigned char>(c));
                    text += escaped;
                } else {
                    text += c;
                }
        }
    }
    return text + "\"";
}

}  // namespace support
