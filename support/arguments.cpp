#include "arguments.hpp"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <vector>

namespace support {

namespace {

const Option* findOption(std::string_view name, std::span<const Option> options) {
    for (const Option* option : {&kHelpOption, &kVersionOption}) {
        if (name == option->name || name == option->alias) return option;
    }
    const auto found = std::find_if(options.begin(), options.end(), [&](const Option& option) {
        return name == option.name || (!option.alias.empty() && name == option.alias);
    });
    return found == options.end() ? nullptr : &*found;
}

// The names of an entry of --help: "-h, --help", "--job PATH".
std::string entryNames(const Option& option) {
    std::string names;
    if (!option.alias.empty()) names.append(option.alias).append(", ");
    names.append(option.name);
    if (option.takesValue()) names.append(" ").append(option.valueName);
    return names;
}

// One entry of --help: names, then description from kHelpColumn, its words wrapped at
// kHelpWidth and its "\n" kept as line breaks.
std::string helpEntry(std::string_view names, std::string_view description) {
    constexpr std::size_t kIndent = 2;
    constexpr std::size_t kGap = 2;
    std::string text(kIndent, ' ');
    text.append(names);
    std::size_t column = text.size();
    const auto breakLine = [&] {
        text.append("\n").append(kHelpColumn, ' ');
        column = kHelpColumn;
    };
    if (column + kGap > kHelpColumn) {
        breakLine();
    } else {
        text.append(kHelpColumn - column, ' ');
        column = kHelpColumn;
    }
    bool lineEmpty = true;
    for (std::size_t start = 0; start <= description.size();) {
        const std::size_t end =
            std::min(description.find_first_of(" \n", start), description.size());
        const std::string_view word = description.substr(start, end - start);
        if (!word.empty()) {
            if (!lineEmpty && column + 1 + word.size() > kHelpWidth) {
                breakLine();
                lineEmpty = true;
            }
            if (!lineEmpty) {
                text += ' ';
                ++column;
            }
            text.append(word);
            column += word.size();
            lineEmpty = false;
        }
        if (end < description.size() && description[end] == '\n') {
            breakLine();
            lineEmpty = true;
        }
        start = end + 1;
    }
    return text + '\n';
}

}  // namespace

std::optional<std::string> Arguments::value(std::string_view name) const {
    const auto found = m_options.find(name);
    if (found == m_options.end()) return std::nullopt;
    return found->second;
}

Arguments parseArguments(const std::vector<std::string>& arguments, std::span<const Option> options,
                         std::string_view operand) {
    // The help of every program is built from its table: an option without its description is
    // the program's fault, found by the first run of any of its tests.
    for (const Option& option : options) {
        if (option.description.empty())
            throw std::logic_error("the option " + std::string(option.name) +
                                   " has no description");
    }
    Arguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            if (operand.empty()) throw UsageError("unexpected argument " + argument);
            parsed.m_operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> inlineValue;
        if (const auto equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        const Option* option = findOption(name, options);
        if (option == nullptr) {
            std::string message = "unknown option " + argument;
            if (!operand.empty()) {
                message +=
                    " (" + std::string(operand) + " that begins with \"-\" goes after \"--\")";
            }
            throw UsageError(message);
        }
        name = option->name;
        if (parsed.has(name)) throw UsageError("option " + name + " is given twice");
        std::string value;
        if (option->takesValue()) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                throw UsageError("option " + name + " needs a value");
            }
            if (value.empty()) throw UsageError("option " + name + " needs a value, not \"\"");
        } else if (inlineValue) {
            throw UsageError("option " + name + " takes no value");
        }
        parsed.m_options.emplace(name, std::move(value));
    }
    return parsed;
}

std::string optionHelp(std::span<const Option> options) {
    std::string text;
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (!options[i].listed) continue;
        std::string names = entryNames(options[i]);
        while (i + 1 < options.size() && options[i + 1].listed &&
               options[i + 1].description == options[i].description)
            names.append(", ").append(entryNames(options[++i]));
        text += helpEntry(names, options[i].description);
    }
    return text;
}

std::string programOptionHelp(std::span<const Option> options, std::string_view afterDashes) {
    const Option common[] = {kHelpOption, kVersionOption};
    std::string text = optionHelp(options) + optionHelp(common);
    if (!afterDashes.empty())
        text += helpEntry("--", "end of options: what follows is " + std::string(afterDashes));
    return text;
}

std::uint64_t wholeNumber(std::string_view option, std::string_view text, std::uint64_t low,
                          std::uint64_t high) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        throw UsageError(std::string(option) + " needs a whole number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ", not \"" + std::string(text) + "\"");
    }
    return value;
}

std::int64_t timeValue(std::string_view option, std::string_view text) {
    const auto refuse = [&] {
        return UsageError(std::string(option) +
                          " needs a time in seconds or as [[h:]m:]s[.f], not \"" +
                          std::string(text) + "\"");
    };
    constexpr std::int64_t kMicro = 1'000'000;
    constexpr std::int64_t kLargest = std::int64_t{1} << 50;  // beyond any video
    const auto digits = [](std::string_view part) {
        return !part.empty() &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    std::string_view rest = text;
    std::int64_t fraction = 0;
    if (const auto point = rest.find('.'); point != std::string_view::npos) {
        const std::string_view decimals = rest.substr(point + 1);
        if (!digits(decimals) || decimals.size() > 6) throw refuse();
        for (std::size_t i = 0; i < 6; ++i)
            fraction = fraction * 10 + (i < decimals.size() ? decimals[i] - '0' : 0);
        rest = rest.substr(0, point);
    }
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const auto colon = rest.find(':', start);
        fields.push_back(rest.substr(start, colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    if (fields.size() > 3) throw refuse();
    std::int64_t seconds = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::int64_t value = 0;
        const auto [end, error] =
            std::from_chars(fields[i].data(), fields[i].data() + fields[i].size(), value);
        if (!digits(fields[i]) || error != std::errc() || value > kLargest) throw refuse();
        if (i > 0 && value >= 60) throw refuse();
        seconds = seconds * 60 + value;
        if (seconds > kLargest) throw refuse();
    }
    return seconds * kMicro + fraction;
}

}  // namespace support
