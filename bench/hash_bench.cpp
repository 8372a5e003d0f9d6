// Changing the table size and starting a new game, as a GUI does before a game:
// "setoption name Hash value N" (answered by "readyok" once it is done) and "ucinewgame",
// at 256, 1024 and 4096 MB. A resize starts from a 16 MB table each time; the rows give
// the mean wall time of three.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "board/position.h"
#include "hash/sizing.h"
#include "shell/engine.h"
#include "shell/options.h"

namespace {

void prepareEngine() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    startUp();
    setOption("Threads value 2");
}

void setHash(int megabytes) {
    char text[48];
    snprintf(text, sizeof text, "Hash value %d", megabytes);
    setOption(text);
}

double secondsOf(void (*action)(int), int argument) {
    const auto start = std::chrono::steady_clock::now();
    action(argument);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void HashResize(benchmark::State& state) {
    prepareEngine();
    const int megabytes = int(state.range(0));
    for (auto _ : state) {
        setHash(16);
        state.SetIterationTime(secondsOf(setHash, megabytes));
    }
}

// "ucinewgame" after a game: the tables may hold entries, so every one is cleared. (Right
// after a resize there is nothing to clear, and the command returns at once.)
void NewGame(benchmark::State& state) {
    prepareEngine();
    setHash(int(state.range(0)));
    for (auto _ : state) {
        hashTablesFresh = false;
        state.SetIterationTime(secondsOf([](int) { newGame(rootPosition); }, 0));
    }
}

}  // namespace

BENCHMARK(HashResize)
    ->Arg(256)
    ->Arg(1024)
    ->Arg(4096)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(NewGame)
    ->Arg(256)
    ->Arg(1024)
    ->Arg(4096)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
