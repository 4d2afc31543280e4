#include "inifiles.hpp"

#include <algorithm>
#include <charconv>
#include <utility>

#include "wholefile.hpp"

namespace INIfiles {

namespace {

char toLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = toLowerAscii(c);
    return lower;
}

// Only blanks are trimmed; a tab is part of the item.
std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool startsWithIgnoringCase(std::string_view line, std::string_view lowerPrefix) {
    if (line.size() < lowerPrefix.size()) return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        if (toLowerAscii(line[i]) != lowerPrefix[i]) return false;
    }
    return true;
}

// The items of a job file: each runs to the next comma or line end (CR LF, CR or LF alone),
// which is consumed with it.
class ItemReader {
  public:
    explicit ItemReader(std::string_view text) : m_text(text) {}

    bool next(std::string_view& item) {
        if (m_pos >= m_text.size()) return false;
        const auto end = std::min(m_text.find_first_of(",\r\n", m_pos), m_text.size());
        item = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        if (m_pos < m_text.size()) {
            const char delimiter = m_text[m_pos++];
            if (delimiter == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n') ++m_pos;
        }
        return true;
    }

  private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

std::string readJobFile(const std::string& fileName) {
    std::string contents = support::readWholeFile(fileName);
    if (contents.empty()) throw support::FileError(fileName, "the file is empty");
    return contents;
}

}  // namespace

std::string findIniString(std::string_view text, std::string_view section, std::string_view key) {
    const std::string header = "[" + lowerAscii(section) + "]";
    const std::string wanted = lowerAscii(key);
    if (wanted.empty()) return {};

    // A section is entered at its header and never left: later headers are not looked at.
    bool inSection = false;
    ItemReader reader(text);
    std::string_view item;
    while (reader.next(item)) {
        const std::string_view line = trimBlanks(item);
        if (!inSection) {
            inSection = line == header;
            continue;
        }
        if (!startsWithIgnoringCase(line, wanted)) continue;
        const std::string_view rest = line.substr(wanted.size());
        const auto equals = rest.find('=');
        // A line that begins with the key but holds no "=" is not an entry for it.
        if (equals == std::string_view::npos) continue;
        return std::string(trimBlanks(rest.substr(equals + 1)));
    }
    return {};
}

std::string ReadINIString(const std::string& fileName, std::string_view section,
                          std::string_view key) {
    return findIniString(readJobFile(fileName), section, key);
}

double ReadININumber(const std::string& fileName, std::string_view section, std::string_view key) {
    return parseLeadingNumber(ReadINIString(fileName, section, key));
}

double parseLeadingNumber(std::string_view text) {
    std::string cleaned;
    cleaned.reserve(text.size());
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') cleaned.push_back(c);
    }

    // Rebuilt in the form std::from_chars takes: no "+", "e" for the exponent.
    std::string number;
    std::size_t i = 0;
    const auto takeDigits = [&] {
        const std::size_t start = i;
        while (i < cleaned.size() && isDigit(cleaned[i]))
            number.push_back(cleaned[i++]);
        return i - start;
    };
    if (i < cleaned.size() && (cleaned[i] == '+' || cleaned[i] == '-')) {
        if (cleaned[i] == '-') number.push_back('-');
        ++i;
    }
    number.push_back('0');
    std::size_t digits = takeDigits();
    if (i < cleaned.size() && cleaned[i] == '.') {
        ++i;
        number.push_back('.');
        const std::size_t fraction = takeDigits();
        if (fraction == 0) {
            // "5." reads as 5; a lone "." is no number at all.
            number.pop_back();
        }
        digits += fraction;
    }
    if (digits == 0) return 0.0;

    if (i < cleaned.size() &&
        (toLowerAscii(cleaned[i]) == 'e' || toLowerAscii(cleaned[i]) == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < cleaned.size() && (cleaned[j] == '+' || cleaned[j] == '-')) {
            if (cleaned[j] == '-') exponent.push_back('-');
            ++j;
        }
        if (j < cleaned.size() && isDigit(cleaned[j])) {
            i = j;
            number += exponent;
            takeDigits();
        }
    }

    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc{} || end != number.data() + number.size()) return 0.0;
    return value;
}

}  // namespace INIfiles
