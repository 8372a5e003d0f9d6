// libFuzzer target: a position from a fixed list and move text played on it (see fuzz/checks.h).
#include <cstdio>
#include <cstdlib>

#include "fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = checkMovesInput(data, size);
    if (!problem.empty()) {
        fprintf(stderr, "fuzz_moves: %s\n", problem.c_str());
        abort();
    }
    return 0;
}
