#pragma once

#include <string>

#include "bitstring.hpp"
#include "fileerror.hpp"

namespace capture {

// Writes the whole bytes of bits as assembler data lines, " .db" and up to eight items
// " %bbbbbbbb" separated by ",", each line ended by CR LF; a tail of fewer than eight bits is
// dropped, and fewer than eight bits give an empty file. The file replaces any older one only once
// it is complete (support::AtomicFile). Throws support::FileError.
void SaveToFile(const std::string& fileName, const TIFunctions::BitString& bits);

}  // namespace capture
