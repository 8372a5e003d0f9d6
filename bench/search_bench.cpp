// Fixed-depth searches over a fixed set of positions, single-threaded, with a fixed table
// size and all tables cleared before each search. The node total is a signature of the
// search's behaviour: it changes only when the search or the evaluation changes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "board/fen.h"
#include "board/position.h"
#include "search/driver.h"
#include "shell/benchpositions.h"
#include "shell/engine.h"
#include "shell/flags.h"
#include "shell/go.h"
#include "shell/options.h"
#include "shell/params.h"
#include "smp/threads.h"

namespace {

void prepareEngine() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    startUp();
    setOption("Threads value 1");
    setOption("Hash value 64");
}

void SearchFixedDepth(benchmark::State& state) {
    prepareEngine();
    char go[32];
    snprintf(go, sizeof go, "go depth %d", SearchBenchDepth);
    uint64_t nodes = 0;
    double seconds = 0;
    for (auto _ : state) {
        nodes = 0;
        seconds = 0;
        benchMode = 1;
        for (const char* fen : SearchBenchPositions) {
            newGame(rootPosition);
            char command[160];
            snprintf(command, sizeof command, "fen %s", fen);
            positionCommand(rootPosition, command);
            parseGo(rootPosition, go);
            const auto start = std::chrono::steady_clock::now();
            runSearch(rootPosition);
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            nodes += totalNodes();
        }
        benchMode = 0;
    }
    printf("search signature: %llu nodes in %.2f s, %.0f nodes per second\n", (unsigned long long)nodes,
           seconds, double(nodes) / seconds);
    state.counters["nodes"] = double(nodes);
    state.counters["nps"] = double(nodes) / seconds;
}

}  // namespace

BENCHMARK(SearchFixedDepth)->Unit(benchmark::kMillisecond)->Iterations(1);
