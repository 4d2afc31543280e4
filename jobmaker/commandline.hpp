#pragma once

// The command line of prelmat.

#include <QString>
#include <QStringList>
#include <stdexcept>

// What the command line asks for.
struct PrelmatOptions {
    // --help: print the usage and stop.
    bool help = false;
    // --defaults: write the default job file without showing anything.
    bool defaults = false;
    // --job PATH: where the job file goes; empty for the program directory.
    QString jobPath;
    // --screenshot PATH (not in the usage): save a picture of the dialog and stop.
    QString screenshotPath;
};

// A command line prelmat does not understand.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The options in arguments (without the program name); throws UsageError.
PrelmatOptions parsePrelmatArguments(const QStringList& arguments);

// The text --help prints.
QString prelmatUsage();
