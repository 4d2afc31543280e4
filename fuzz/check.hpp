#pragma once

// What the fuzz targets share: the check that stops a run with a message, for libFuzzer to keep
// the input that broke a rule.

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Stops the process with rule on stderr when ok is false.
inline void require(bool ok, const char* rule) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", rule);
    std::abort();
}

}  // namespace fuzz
