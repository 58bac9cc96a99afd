#pragma once

// KB_DEBUG_ASSERT(condition, text): in debug builds (NDEBUG not defined) a false condition
// prints the file, line and text to standard error and aborts; in release builds the
// condition is not evaluated. For invariants the code itself guarantees, never for input.
#ifdef NDEBUG
#define KB_DEBUG_ASSERT(condition, text) ((void)0)
#else
#include <cstdio>
#include <cstdlib>
#define KB_DEBUG_ASSERT(condition, text)                                                          \
    ((condition) ? (void)0                                                                        \
                 : (std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, text), \
                    std::abort()))
#endif
