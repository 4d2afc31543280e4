#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "animation.hpp"
#include "commandline.hpp"
#include "program.hpp"

namespace player {

// Throws support::UsageError when an output file of options (--gif, --mp4, --dump-bytes) is the
// data file itself.
void refuseToOverwriteData(const PlayerOptions& options);

// Writes bytes to path as they are (support::writeFileAtomic). Throws support::FileError.
void writeBytesFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Carries out the output options of options on records in one pass over the records, feeding
// each decoded screen to --info, --frames, --gif, --mp4 and --check (--dump-bytes is the
// caller's, before decoding). The table and the check go to out, notes on written files to err.
// Returns support::kExitDone, or support::kExitFailed when
// --check finds a frame that may not differ. Throws the errors of the exports and of the check.
int runOutputs(const PlayerOptions& options, const FrameRecords& records, std::ostream& out,
               std::ostream& err);

}  // namespace player
