#include "configfolder.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace support {

bool folderWritable(const std::string& folder) {
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

std::string configFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/kelvonar";
    std::string home;
    if (const char* value = std::getenv("HOME"); value != nullptr && value[0] != '\0') {
        home = value;
    } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr) {
        home = user->pw_dir;
    }
    return home + "/.config/kelvonar";
}

bool runFromBuild(const std::string& programDirectory) {
    std::error_code error;
    return std::filesystem::equivalent(programDirectory, KELVONAR_BUILD_FOLDER, error) && !error;
}

std::string jobFolder(const std::string& programDirectory) {
    return runFromBuild(programDirectory) && folderWritable(programDirectory) ? programDirectory
                                                                              : configFolder();
}

}  // namespace support
