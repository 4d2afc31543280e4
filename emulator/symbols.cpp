#include "symbols.hpp"

#include <cerrno>
#include <fstream>
#include <sstream>

namespace emulator {

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

Symbols Symbols::parse(std::string_view text, const std::string& path) {
    Symbols symbols;
    symbols.m_path = path;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        const auto fail = [&](const std::string& reason) {
            throw support::FileError(path, reason, number);
        };
        std::size_t at = 0;
        std::uint32_t address = 0;
        while (at < line.size() && isHexDigit(line[at])) {
            const char c = line[at++];
            const std::uint32_t digit = c <= '9'
                                            ? static_cast<std::uint32_t>(c - '0')
                                            : static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
            address = address << 4 | digit;
            if (address > 0xFFFF) fail("an address past 0xFFFF");
        }
        if (at == 0) fail("a line that does not start with a hexadecimal address");
        if (at + 3 > line.size() || line[at] != ' ' || line[at + 2] != ' ')
            fail("not \"ADDRESS TYPE NAME\"");
        const std::string_view name = line.substr(at + 3);
        if (name.empty() || name.find(' ') != std::string_view::npos) fail("not one name");
        symbols.m_addresses[std::string(name)] = static_cast<std::uint16_t>(address);
    }
    return symbols;
}

Symbols Symbols::read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw support::FileError(path, support::errorText(errno));
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) throw support::FileError(path, "cannot be read");
    return parse(text.str(), path);
}

std::optional<std::uint16_t> Symbols::find(const std::string& name) const {
    const auto it = m_addresses.find(name);
    if (it == m_addresses.end()) return std::nullopt;
    return it->second;
}

std::uint16_t Symbols::at(const std::string& name) const {
    if (const auto address = find(name)) return *address;
    throw support::FileError(m_path, "no label " + name);
}

}  // namespace emulator
