#pragma once

// The command line of every program: flags, options with a value, "--" and the operands.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace support {

// A command line that cannot be understood; what() says why.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One option a program accepts, "--name" or "--name VALUE", and what --help says of it.
struct Option {
    std::string_view name;         // "--name"
    std::string_view valueName;    // "PATH" for an option with a value; empty for a flag
    std::string_view description;  // for --help: words wrapped to the width, "\n" a line break
    std::string_view alias = {};   // a short name, "-h"
    bool listed = true;            // false: left out of --help (a hook for tests)

    // Whether the option takes a value.
    constexpr bool takesValue() const noexcept { return !valueName.empty(); }
};

// --help (alias -h) and --version, which every program takes.
inline constexpr Option kHelpOption{"--help", {}, "show this text", "-h"};
inline constexpr Option kVersionOption{"--version", {}, "show the version"};

// The options and operands of a parsed command line; options are looked up by their long name.
class Arguments {
  public:
    // Whether the option was given.
    bool has(std::string_view name) const { return m_options.find(name) != m_options.end(); }
    // The value of an option with a value, if it was given.
    std::optional<std::string> value(std::string_view name) const;
    // The operands in the order given.
    const std::vector<std::string>& operands() const noexcept { return m_operands; }
    bool help() const { return has("--help"); }
    bool version() const { return has("--version"); }

  private:
    friend Arguments parseArguments(const std::vector<std::string>&, std::span<const Option>,
                                    std::string_view);
    std::map<std::string, std::string, std::less<>> m_options;
    std::vector<std::string> m_operands;
};

// Parses arguments (without the program name) against options; --help (alias -h) and --version
// are always known. An argument of two or more characters starting with "-" is an option, given
// anywhere, as "--name value" or "--name=value"; "--" ends the options. A value may not be empty.
// operand names what the other arguments are ("a data file"); when it is empty, none are taken.
// Throws UsageError for an unknown or repeated option, a missing or empty value, a value given to
// a flag, or an operand nobody takes.
Arguments parseArguments(const std::vector<std::string>& arguments, std::span<const Option> options,
                         std::string_view operand);

// The column where --help's option descriptions start, and the width they are wrapped to.
inline constexpr std::size_t kHelpColumn = 24;
inline constexpr std::size_t kHelpWidth = 96;

// The lines of --help for options, in their order, each listed option as "  -a, --name VALUE"
// with its description from kHelpColumn (on the next line when the names reach it), wrapped at
// kHelpWidth. Options that follow each other with the same description share one entry
// ("  --interlace, --no-interlace").
std::string optionHelp(std::span<const Option> options);

// The option list of a program's --help: optionHelp of options, of --help and --version, and,
// when the program takes operands, of "--" ending the options before afterDashes ("the data
// file").
std::string programOptionHelp(std::span<const Option> options, std::string_view afterDashes);

// The whole number text of option, from low to high. Throws UsageError otherwise.
std::uint64_t wholeNumber(std::string_view option, std::string_view text, std::uint64_t low,
                          std::uint64_t high);

// The time text of option in microseconds: seconds ("95", "95.5") or [[h:]m:]s[.f] ("1:35.5",
// "0:01:35"), with minutes and seconds below 60 after a colon and at most six decimals. Throws
// UsageError otherwise.
std::int64_t timeValue(std::string_view option, std::string_view text);

}  // namespace support
