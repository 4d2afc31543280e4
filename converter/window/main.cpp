// kelvonar: converts a video into calculator animation data.

#include <iostream>
#include <string>
#include <vector>

#include "commandline.hpp"
#include "headless.hpp"

int main(int argc, char* argv[]) {
    using namespace conversion;
    ConverterOptions options;
    try {
        options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& error) {
        std::cerr << "kelvonar: " << error.what()
                  << "\nTry 'kelvonar --help' for more information.\n";
        return kExitUsage;
    }
    if (options.help) {
        std::cout << UsageText();
        return kExitDone;
    }
    if (options.version) {
        std::cout << "kelvonar " << KELVONAR_VERSION << '\n';
        return kExitDone;
    }
    return RunHeadless(options, std::cerr);
}
