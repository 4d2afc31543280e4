#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "packer.hpp"

namespace pack {

// What kelvonar-pack's command line asks for.
struct PackOptions {
    std::string dataPath;                // the data file, my.z80
    Model model = Model::Ti83Plus;       // --model
    std::optional<std::string> name;     // --name; default: from the data file's name
    std::string outputFolder = ".";      // --output
    std::optional<std::string> comment;  // --comment; default: the program and its version
    bool archive = false;                // --archive
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. Throws support::UsageError, also for an invalid
// --name.
PackOptions parsePackArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string packUsage();

// Reads and checks the data file, packs it for the model and writes the files into the output
// folder (created when missing), removing the files of an earlier pack of the same name that this
// one does not write: all of that or nothing. Prints each path written to out, one a line, and
// each removed to err. Throws support::FileError (an unreadable, malformed or empty data file,
// records that do not decode as 96 x 64 frames, data the model cannot hold, an unwritable
// folder). beforeEachChange is support::AtomicFileSet::commit's.
void runPack(const PackOptions& options, std::ostream& out, std::ostream& err,
             const std::function<void(const std::string&)>& beforeEachChange = {});

}  // namespace pack
