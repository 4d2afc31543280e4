#include "program.hpp"

#include <cstdlib>
#include <ostream>

namespace support {

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

int reportUsageError(std::ostream& err, std::string_view program, const UsageError& error) {
    err << program << ": " << error.what() << "\nTry '" << program
        << " --help' for more information.\n";
    return kExitUsage;
}

}  // namespace support
