// libFuzzer target: any bytes as the arguments of "position" (see fuzz/checks.h).
#include <cstdio>
#include <cstdlib>

#include "fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = checkPositionInput(data, size);
    if (!problem.empty()) {
        fprintf(stderr, "fuzz_position: %s\n", problem.c_str());
        abort();
    }
    return 0;
}
