// kelvonar: converts a video into calculator animation data, in its window or headless.

#include <iostream>
#include <string>
#include <vector>

#include "commandline.hpp"
#include "headless.hpp"
#include "program.hpp"
#include "windowmode.hpp"

int main(int argc, char* argv[]) {
    using namespace conversion;
    ConverterOptions options;
    try {
        options = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const support::UsageError& error) {
        return support::reportUsageError(std::cerr, "kelvonar", error);
    }
    if (options.help) {
        std::cout << usageText();
        return support::kExitDone;
    }
    if (options.version) {
        std::cout << "kelvonar " << KELVONAR_VERSION << '\n';
        return support::kExitDone;
    }
    if (options.headless) return runHeadless(options, std::cerr);
    if (!support::displayAvailable()) {
        std::cerr << "kelvonar: no display to show the window on (DISPLAY is not set); "
                     "use --headless to convert without a window\n";
        return support::kExitUsage;
    }
    return runWindow(options, argc, argv);
}
