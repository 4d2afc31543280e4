#include "names.hpp"

#include <filesystem>

#include "tifile.hpp"

namespace pack {

namespace {

bool isLetter(char c) {
    return c >= 'A' && c <= 'Z';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string nameProblem(std::string_view text) {
    if (text.empty()) return "a name needs 1 to 8 characters";
    if (text.size() > kNameLength)
        return "\"" + std::string(text) + "\" has more than 8 characters";
    if (!isLetter(text.front())) return "\"" + std::string(text) + "\" does not start with A-Z";
    for (const char c : text) {
        if (!isLetter(c) && !isDigit(c))
            return "\"" + std::string(text) + "\" holds a character other than A-Z and 0-9";
    }
    return {};
}

std::string nameFromPath(std::string_view path) {
    const std::string stem = std::filesystem::path(path).stem().string();
    std::string name;
    for (char c : stem) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (isLetter(c) || (isDigit(c) && !name.empty())) name += c;
        if (name.size() == kNameLength) break;
    }
    return name.empty() ? "VIDEO" : name;
}

}  // namespace pack
