#include "program.hpp"

#include <cstdlib>
#include <exception>
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

int runProgram(std::string_view name, std::string_view version, std::string (*help)(),
               const std::vector<std::string>& arguments,
               const std::function<Request(const std::vector<std::string>&)>& request,
               const std::function<int()>& run, std::ostream& out, std::ostream& err) {
    try {
        switch (request(arguments)) {
            case Request::Help:
                out << help();
                return kExitDone;
            case Request::Version:
                out << name << ' ' << version << '\n';
                return kExitDone;
            case Request::Run:
                break;
        }
        return run();
    } catch (const UsageError& error) {
        return reportUsageError(err, name, error);
    } catch (const std::exception& error) {
        err << name << ": " << error.what() << '\n';
        return kExitFailed;
    }
}

}  // namespace support
