// kelvonar-emu: runs the calculator player in an emulated calculator.

#include <iostream>

#include "emurun.hpp"
#include "exports.hpp"
#include "program.hpp"

int main(int argc, char* argv[]) {
    using namespace emulator;
    return support::runProgram<EmuOptions>(
        {"kelvonar-emu", KELVONAR_VERSION, emuUsage, parseEmuArguments,
         [](const EmuOptions& options) {
             player::quietMediaLog();
             return runEmu(options, std::cout, std::cerr);
         }},
        argc, argv);
}
