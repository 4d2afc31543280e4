#pragma once

// What every program shares at its edge: the entry, exit statuses, the display check, reporting
// mistakes.

#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.hpp"

namespace support {

// Exit statuses of every program.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // a file could not be read or written, or data are wrong
inline constexpr int kExitUsage = 2;   // a usage error, or no display for a window
inline constexpr int kExitCancelled = 130;

// Whether a window can be shown: DISPLAY or WAYLAND_DISPLAY names a display server, or
// QT_QPA_PLATFORM chooses a platform.
bool displayAvailable();

// Prints "PROGRAM: WHAT" and a pointer to --help to err; returns kExitUsage.
int reportUsageError(std::ostream& err, std::string_view program, const UsageError& error);

// A program as its entry runs it. Options is what its command line asks for; its flags help and
// version ask for the text of --help and for the version.
template <class Options>
struct Program {
    std::string_view name;     // starts every message: "NAME: ..."
    std::string_view version;  // --version prints "NAME VERSION"
    std::string (*help)();     // the text of --help
    std::function<Options(const std::vector<std::string>&)> parse;  // throws UsageError
    std::function<int(const Options&)> run;                         // returns the exit status
};

// What a command line asks of a program's entry.
enum class Request { Run, Help, Version };

// The entry of every program: request parses arguments (those after the program name), then the
// text of --help or "NAME VERSION" goes to out, or run runs and gives the exit status. An error
// that parsing or the run lets through goes to err as "NAME: what": a UsageError with a pointer
// to --help, for kExitUsage; any other exception for kExitFailed.
int runProgram(std::string_view name, std::string_view version, std::string (*help)(),
               const std::vector<std::string>& arguments,
               const std::function<Request(const std::vector<std::string>&)>& request,
               const std::function<int()>& run, std::ostream& out, std::ostream& err);

// runProgram for program with the arguments of main.
template <class Options>
int runProgram(const Program<Options>& program, int argc, char** argv,
               std::ostream& out = std::cout, std::ostream& err = std::cerr) {
    Options options;
    return runProgram(
        program.name, program.version, program.help,
        std::vector<std::string>(argv + 1, argv + argc),
        [&](const std::vector<std::string>& arguments) {
            options = program.parse(arguments);
            if (options.help) return Request::Help;
            return options.version ? Request::Version : Request::Run;
        },
        [&] { return program.run(options); }, out, err);
}

}  // namespace support
