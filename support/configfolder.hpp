#pragma once

// Where the programs keep the job file: beside the executable when it runs from the folder it was
// built into, otherwise (installed, or copied elsewhere) in the user's configuration folder.

#include <string>

namespace support {

// Whether this process may create files in folder.
bool folderWritable(const std::string& folder);

// $XDG_CONFIG_HOME/kelvonar, or $HOME/.config/kelvonar when XDG_CONFIG_HOME is unset, empty or
// not an absolute path.
std::string configFolder();

// Whether programDirectory is the folder this build puts its programs into.
bool runFromBuild(const std::string& programDirectory);

// The folder of the job file: programDirectory when the program runs from its build folder and
// may write there, else configFolder().
std::string jobFolder(const std::string& programDirectory);

}  // namespace support
