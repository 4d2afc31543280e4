#pragma once

// Where the programs keep the job file: beside the executable while that folder is writable (a
// build folder or a copy), otherwise in the user's configuration folder.

#include <string>

namespace support {

// Whether this process may create files in folder.
bool folderWritable(const std::string& folder);

// $XDG_CONFIG_HOME/kelvonar, or $HOME/.config/kelvonar when XDG_CONFIG_HOME is unset, empty or
// not an absolute path.
std::string configFolder();

// The folder of the job file: programDirectory when it is writable, else configFolder().
std::string jobFolder(const std::string& programDirectory);

}  // namespace support
