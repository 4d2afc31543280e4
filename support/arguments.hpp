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

// One option a program accepts: "--name" or "--name VALUE", with an optional short alias ("-h").
struct Option {
    std::string_view name;
    bool takesValue = false;
    std::string_view alias = {};
};

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

// The whole number text of option, from low to high. Throws UsageError otherwise.
std::uint64_t wholeNumber(std::string_view option, std::string_view text, std::uint64_t low,
                          std::uint64_t high);

// The time text of option in microseconds: seconds ("95", "95.5") or [[h:]m:]s[.f] ("1:35.5",
// "0:01:35"), with minutes and seconds below 60 after a colon and at most six decimals. Throws
// UsageError otherwise.
std::int64_t timeValue(std::string_view option, std::string_view text);

}  // namespace support
