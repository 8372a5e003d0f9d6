// Fixed-depth searches over a fixed set of positions, single-threaded, with a fixed table
// size and all tables cleared before each search. The node total is a signature of the
// search's behaviour: it changes only when the search or the evaluation changes.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "shell/benchpositions.h"
#include "shell/engine.h"
#include "shell/options.h"

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
    uint64_t nodes = 0;
    double seconds = 0;
    for (auto _ : state) {
        nodes = 0;
        seconds = 0;
        for (const char* fen : SearchBenchPositions) {
            const BenchSearch run = benchSearch(fen, SearchBenchDepth);
            nodes += run.nodes;
            seconds += run.seconds;
        }
    }
    printf("search signature: %llu nodes in %.2f s, %.0f nodes per second\n", (unsigned long long)nodes,
           seconds, double(nodes) / seconds);
    state.counters["nodes"] = double(nodes);
    state.counters["nps"] = double(nodes) / seconds;
}

}  // namespace

BENCHMARK(SearchFixedDepth)->Unit(benchmark::kMillisecond)->Iterations(1);
