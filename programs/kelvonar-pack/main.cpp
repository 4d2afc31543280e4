// kelvonar-pack: turns a my.z80 into calculator files with the player.

#include <iostream>

#include "packrun.hpp"
#include "program.hpp"

int main(int argc, char* argv[]) {
    using namespace pack;
    return support::runProgram<PackOptions>(
        {"kelvonar-pack", KELVONAR_VERSION, packUsage, parsePackArguments,
         [](const PackOptions& options) {
             runPack(options, std::cout, std::cerr);
             return support::kExitDone;
         }},
        argc, argv);
}
