// kelvonar: converts a video into calculator animation data, in its window or headless.

#include <iostream>

#include "commandline.hpp"
#include "headless.hpp"
#include "program.hpp"
#include "windowmode.hpp"

int main(int argc, char* argv[]) {
    using namespace conversion;
    return support::runProgram<ConverterOptions>(
        {"kelvonar", KELVONAR_VERSION, usageText, parseCommandLine,
         [&](const ConverterOptions& options) {
             if (options.headless) return runHeadless(options, std::cerr);
             if (!support::displayAvailable()) {
                 std::cerr << "kelvonar: no display to show the window on (DISPLAY is not set); "
                              "use --headless to convert without a window\n";
                 return support::kExitUsage;
             }
             return runWindow(options, argc, argv);
         }},
        argc, argv);
}
