#pragma once

// What every program shares at its edge: exit statuses, the display check, reporting mistakes.

#include <iosfwd>
#include <string_view>

#include "arguments.hpp"

namespace support {

// Exit statuses of every program.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // a file could not be read or written, or data are wrong
inline constexpr int kExitUsage = 2;   // a usage error, or no display for a window
inline constexpr int kExitCancelled = 130;

// Whether a window can be shown: DISPLAY or WAYLAND_DISPLAY names a display server, or
// QT_QPA_PLATFORM chooses a platform.
bool displayAvailable();

// Prints "PROGRAM: WHAT" and a pointer to --help to err; returns kExitUsage.
int reportUsageError(std::ostream& err, std::string_view program, const UsageError& error);

}  // namespace support
