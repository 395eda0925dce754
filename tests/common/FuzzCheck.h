#pragma once

#include <cstdlib>

// A failed property in a fuzz target: abort, so the fuzzer keeps the input.
inline void check(bool ok) {
    if (!ok)
        std::abort();
}
