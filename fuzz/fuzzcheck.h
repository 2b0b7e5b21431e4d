#pragma once
// A broken invariant is a finding: say which, then abort so libFuzzer keeps
// the input.

#include <cstdio>
#include <cstdlib>

inline void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}
