#pragma once

// The command line of prelmat.

#include <QString>
#include <QStringList>
#include <span>
#include <string>

#include "arguments.hpp"

namespace jobmaker {

// What the command line asks for.
struct PrelmatOptions {
    // --help: print the usage and stop.
    bool help = false;
    // --version: print the version and stop.
    bool version = false;
    // --defaults: write the default job file without showing anything.
    bool defaults = false;
    // --job PATH: where the job file goes; empty for the program directory.
    QString jobPath;
    // --screenshot PATH (not in the usage): save a picture of the dialog and stop.
    QString screenshotPath;
};

// The options in arguments (without the program name); throws support::UsageError.
PrelmatOptions parsePrelmatArguments(const QStringList& arguments);

// The text --help prints.
std::string prelmatUsage();

}  // namespace jobmaker
