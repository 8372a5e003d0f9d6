// libFuzzer target: any bytes as command lines for the command executor (see fuzz/checks.h).
#include <cstdio>
#include <cstdlib>

#include "fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = checkCommandsInput(data, size);
    if (!problem.empty()) {
        fprintf(stderr, "fuzz_commands: %s\n", problem.c_str());
        abort();
    }
    return 0;
}
