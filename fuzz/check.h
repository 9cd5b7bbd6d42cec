// A broken invariant of a fuzz target: a finding, its input saved by libFuzzer.
#pragma once
#include <cstdio>
#include <cstdlib>
#define FUZZ_CHECK(c) \
    ((c) ? void() : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c), std::abort()))
