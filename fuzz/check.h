// A property check for the fuzz targets that stops the run with the property's text.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                 \
    do {                                                                      \
        if (!(condition)) {                                                   \
            std::fprintf(stderr, "property does not hold: %s\n", #condition); \
            std::abort();                                                     \
        }                                                                     \
    } while (0)
