#pragma once

#include <stdexcept>
#include <string>

#include "bitstring.hpp"

namespace capture {

// A data file that could not be written; carries the path and the reason.
class OutputError : public std::runtime_error {
  public:
    OutputError(std::string path, std::string reason);

    const std::string& path() const noexcept { return m_path; }
    const std::string& reason() const noexcept { return m_reason; }

  private:
    std::string m_path;
    std::string m_reason;
};

// Writes the whole bytes of bits as assembler data lines, " .db" and up to eight items
// " %bbbbbbbb" separated by ",", each line ended by CR LF; a tail of fewer than eight bits is
// dropped, and fewer than eight bits give an empty file. The file is written under a temporary
// name in the same folder and renamed into place, so a failure leaves any older file untouched.
// Throws OutputError.
void SaveToFile(const std::string& fileName, const TIFunctions::BitString& bits);

}  // namespace capture
