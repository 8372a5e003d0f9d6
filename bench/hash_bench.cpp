// Changing the table size and starting a new game, as a GUI does before a game:
// "setoption name Hash value N" (answered by "readyok" once it is done) and "ucinewgame",
// at 256, 1024 and 4096 MB. A resize starts from a 16 MB table each time; the rows give
// the mean wall time of three.
//
// And what one transposition-table lookup at a random key costs, the way the search makes
// one at every node: the cluster is fetched ahead when the move is made, some work follows
// (the evaluation), then the probe reads the cluster's checks. Rows per table size (1 MB
// stays in the processor's caches, 64 MB does not) and prefetch (0: none, 1: at the move);
// the time per lookup includes the fixed work, which the 1 MB rows show alone.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "board/position.h"
#include "hash/sizing.h"
#include "hash/tt.h"
#include "search/driver.h"
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

// About 75 ns of work here that does not touch memory, a stand-in for the evaluation
// between the prefetch and the probe.
[[gnu::noinline]] uint64_t workBetween(uint64_t x) {
    for (int i = 0; i < 64; ++i) x = x * 6364136223846793005ull + 1442695040888963407ull;
    return x;
}

void TableLookup(benchmark::State& state) {
    prepareEngine();
    setHash(int(state.range(0)));
    const bool prefetch = state.range(1) != 0;
    uint64_t key = 0x9E3779B97F4A7C15ull, found = 0, work = 1;
    for (auto _ : state) {
        for (int n = 0; n < 1024; ++n) {
            key ^= key << 13;
            key ^= key >> 7;
            key ^= key << 17;
            if (prefetch) prefetchTT(key);
            work = workBetween(work);
            const TTEntry* cluster = ttCluster(key);
            const uint32_t check = ttCheck(key);
            for (int k = 0; k < 4; ++k) found += cluster[k].check == check;
        }
    }
    benchmark::DoNotOptimize(found);
    benchmark::DoNotOptimize(work);
    state.SetItemsProcessed(state.iterations() * 1024);
    setHash(16);
}

}  // namespace

BENCHMARK(TableLookup)->ArgsProduct({{1, 64}, {0, 1}})->ArgNames({"MB", "prefetch"});
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
