// kelvonar-emu: runs the calculator player in an emulated calculator.

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "emurun.hpp"
#include "exports.hpp"
#include "program.hpp"

int main(int argc, char* argv[]) {
    emulator::EmuOptions options;
    try {
        options = emulator::parseEmuArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const support::UsageError& error) {
        return support::reportUsageError(std::cerr, "kelvonar-emu", error);
    }
    if (options.help) {
        std::cout << emulator::emuUsage();
        return support::kExitDone;
    }
    if (options.version) {
        std::cout << "kelvonar-emu " << KELVONAR_VERSION << '\n';
        return support::kExitDone;
    }
    try {
        player::quietMediaLog();
        return emulator::runEmu(options, std::cout, std::cerr);
    } catch (const support::UsageError& error) {
        return support::reportUsageError(std::cerr, "kelvonar-emu", error);
    } catch (const std::runtime_error& error) {
        std::cerr << "kelvonar-emu: " << error.what() << '\n';
        return support::kExitFailed;
    }
}
