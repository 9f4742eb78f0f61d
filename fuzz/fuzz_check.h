#pragma once
#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: when it does not hold, say which one and
// abort, so libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition, what)                                                   \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "invariant broken at %s:%d: %s\n  (%s)\n", __FILE__, __LINE__, \
                   what, #condition);                                                 \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)
