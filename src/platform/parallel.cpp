#include <thread>
#include <vector>

#include "platform/platform.h"

void runInParallel(void (*body)(int), int count) {
    std::vector<std::thread> helpers;
    for (int i = 1; i < count; ++i) helpers.emplace_back(body, i);
    body(0);
    for (std::thread& helper : helpers) helper.join();
}
