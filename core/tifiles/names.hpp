#pragma once

#include <string>
#include <string_view>

namespace pack {

// Why text is not a valid variable name (1 to 8 characters, A-Z and 0-9, starting with a
// letter), or an empty string when it is one.
std::string nameProblem(std::string_view text);

// A valid name made from the stem of path (its file name without the extension): letters
// upper-cased, other characters and leading digits dropped, cut to 8; "VIDEO" when nothing is left.
std::string nameFromPath(std::string_view path);

}  // namespace pack
