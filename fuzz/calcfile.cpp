// Calculator variable files: the strict reader, and a file it accepts written and read again.

#include <cstddef>
#include <cstdint>
#include <span>

#include "check.hpp"
#include "fileerror.hpp"
#include "tifile.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pack::CalcFile file;
    try {
        file = pack::readCalcFile({data, size}, "fuzz.8xp");
    } catch (const support::FileError&) {
        return 0;
    }
    fuzz::require(!file.variables.empty(), "an accepted file has a variable");
    fuzz::require(file.comment.size() <= pack::kCommentLength, "the comment fits its field");

    // What the reader accepts, the writer writes, and reading that gives the same file.
    const std::vector<std::uint8_t> written = pack::writeCalcFile(file);
    fuzz::require(written.size() == size, "a file written again keeps its size");
    const pack::CalcFile again = pack::readCalcFile(written, "fuzz.8xp");
    fuzz::require(again.family == file.family && again.comment == file.comment &&
                      again.variables == file.variables,
                  "a file written again reads the same");
    return 0;
}
