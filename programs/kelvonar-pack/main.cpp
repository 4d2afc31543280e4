// kelvonar-pack: turns a my.z80 into calculator files with the player.

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "packrun.hpp"
#include "program.hpp"

int main(int argc, char* argv[]) {
    pack::PackOptions options;
    try {
        options = pack::parsePackArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const support::UsageError& error) {
        return support::reportUsageError(std::cerr, "kelvonar-pack", error);
    }
    if (options.help) {
        std::cout << pack::packUsage();
        return support::kExitDone;
    }
    if (options.version) {
        std::cout << "kelvonar-pack " << KELVONAR_VERSION << '\n';
        return support::kExitDone;
    }
    try {
        pack::runPack(options, std::cout, std::cerr);
        return support::kExitDone;
    } catch (const std::runtime_error& error) {
        std::cerr << "kelvonar-pack: " << error.what() << '\n';
        return support::kExitFailed;
    }
}
