// The engine clock past the wrap of a 32-bit millisecond tick count (49.7 days of uptime):
// elapsed times and time limits must carry on across it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "board/position.h"
#include "core/flags.h"
#include "core/params.h"
#include "platform/platform.h"
#include "search/driver.h"
#include "search/limits.h"
#include "shell/engine.h"
#include "shell/go.h"
#include "shell/options.h"
#include "shell/positioncommand.h"
#include "smp/threads.h"
#include "test_positions.h"

namespace {

constexpr uint64_t TickWrap = uint64_t(1) << 32;  // milliseconds

// Moves the engine clock to the given number of milliseconds before the 32-bit wrap.
void clockBeforeWrap(uint64_t millis) {
    clockOffsetMillis = 0;
    clockOffsetMillis = TickWrap - millis - tickMillis();
}

}  // namespace

TEST(EngineClock, ElapsedTimeAndTheMovetimeLimitCarryOnAcrossTheWrap) {
    clockBeforeWrap(30);
    const uint64_t before = clockMicros();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const uint64_t after = clockMicros();
    EXPECT_GT(after, TickWrap * 1000);
    EXPECT_GE(after - before, 60000u);
    EXPECT_LT(after - before, 1000000u);

    // A search that starts just before the wrap ends at its movetime, long before its depth.
    startUp();
    setOption("Hash value 16");
    processorCountOverride = 1;
    optionThreads = 1;
    startWorkers(0);
    newGame(rootPosition);
    positionCommand(rootPosition, (std::string("fen ") + Middlegame).c_str());
    clockBeforeWrap(50);
    parseGo(rootPosition, "go movetime 150 depth 16");
    const auto start = std::chrono::steady_clock::now();
    benchMode = 1;
    runSearch(rootPosition);
    benchMode = 0;
    const auto took = std::chrono::steady_clock::now() - start;
    clockOffsetMillis = 0;
    EXPECT_GE(took, std::chrono::milliseconds(140));
    EXPECT_LT(took, std::chrono::milliseconds(1000));
}
