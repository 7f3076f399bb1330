#pragma once
#include <cstdio>
#include <cstdlib>

// A property a fuzz target holds for every input. A failure names the check
// and aborts, so both the seeded-mutation driver and libFuzzer stop and keep
// the input that did it.
#define FUZZ_CHECK(cond)                                                                     \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, \
                         #cond);                                                             \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)
