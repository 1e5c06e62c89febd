#pragma once

// What the fuzz targets check beyond "no crash": a broken property names itself and aborts,
// which libFuzzer reports as a crash (and the corpus replay as a failed test).

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)
