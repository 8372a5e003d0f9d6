// Time to depth: what the parallel search is for. Sixteen middlegame positions are searched
// to a fixed depth with one thread and with two, every table cleared before each search,
// and the table shows per position the time and nodes of each, the speed-up (time with one
// thread over time with two), and for the two-thread search the nodes of each thread and
// the number of splits. Parallel searches are not deterministic: run it several times.
//
// ORVO_TTD_DEPTH overrides the depth (plies), ORVO_TTD_THREADS the larger thread count, and
// ORVO_TTD_SPLIT_MIN_DEPTH the least remaining depth (half plies) at which a node splits;
// ORVO_TTD_ALL_NODE_SPLIT=0 keeps all-nodes from splitting, and ORVO_TTD_IDLE_WATCH sets how
// long an idle thread watches for work before it sleeps (microseconds, 0 for not at all).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "board/position.h"
#include "search/search.h"
#include "shell/benchpositions.h"
#include "shell/engine.h"
#include "shell/options.h"
#include "shell/params.h"
#include "smp/threads.h"

namespace {

// Middlegames of the search benchmark's list.
constexpr int MiddlegamePositions[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 20};
constexpr int DefaultDepth = 17;

struct Run {
    double seconds;
    uint64_t nodes;
    uint64_t threadNodes[MaxThreads];
    uint64_t splits;
};

int settingFromEnvironment(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

void useThreads(int threads) {
    processorCountOverride = threads;
    char text[32];
    snprintf(text, sizeof text, "Threads value %d", threads);
    setOption(text);
    if (const char* watch = std::getenv("ORVO_TTD_IDLE_WATCH")) idleWatchMicros = std::atoi(watch);
}

Run searchToDepth(const char* fen, int depth) {
    const uint64_t splitsBefore = splitsDone;
    const BenchSearch search = benchSearch(fen, depth);
    Run run{search.seconds, search.nodes, {}, splitsDone - splitsBefore};
    for (int t = 0; t < runningThreads; ++t)
        for (Slot& slot : slots[t]) run.threadNodes[t] += nodeCount(slot.position);
    return run;
}

void TimeToDepth(benchmark::State& state) {
    static bool started = false;
    if (!started) {
        startUp();
        setOption("Hash value 64");
        tuning.SplitMinDepth = settingFromEnvironment("ORVO_TTD_SPLIT_MIN_DEPTH", tuning.SplitMinDepth);
        if (const char* allNodes = std::getenv("ORVO_TTD_ALL_NODE_SPLIT"))
            tuning.AllNodeSplit = std::atoi(allNodes);
        started = true;
    }
    const int depth = settingFromEnvironment("ORVO_TTD_DEPTH", DefaultDepth);
    const int threads = settingFromEnvironment("ORVO_TTD_THREADS", 2);
    for (auto _ : state) {
        useThreads(threads);  // for the idle watch it sets
        printf("time to depth %d, 1 thread against %d (Hash 64, splits from depth %d%s, idle watch %d us)\n",
               depth, threads, tuning.SplitMinDepth, tuning.AllNodeSplit ? "" : ", no all-node splits",
               idleWatchMicros.load());
        printf("%3s %9s %11s %9s %11s %7s %7s  %s\n", "pos", "t1 s", "nodes1", "tN s", "nodesN", "speedup",
               "splits", "nodes per thread");
        double time1 = 0, timeN = 0, logSum = 0;
        uint64_t nodes1 = 0, nodesN = 0;
        int n = 0;
        for (int index : MiddlegamePositions) {
            const char* fen = SearchBenchPositions[index];
            useThreads(1);
            const Run one = searchToDepth(fen, depth);
            useThreads(threads);
            const Run many = searchToDepth(fen, depth);
            const double speedup = one.seconds / many.seconds;
            printf("%3d %9.3f %11llu %9.3f %11llu %7.2f %7llu ", index, one.seconds,
                   (unsigned long long)one.nodes, many.seconds, (unsigned long long)many.nodes, speedup,
                   (unsigned long long)many.splits);
            for (int t = 0; t < threads; ++t) printf(" %llu", (unsigned long long)many.threadNodes[t]);
            printf("\n");
            fflush(stdout);
            time1 += one.seconds;
            timeN += many.seconds;
            nodes1 += one.nodes;
            nodesN += many.nodes;
            logSum += std::log(speedup);
            ++n;
        }
        const double geometricMean = std::exp(logSum / n);
        printf("total %9.3f %11llu %9.3f %11llu %7.2f  nodes ratio %.2f  nps ratio %.2f\n", time1,
               (unsigned long long)nodes1, timeN, (unsigned long long)nodesN, time1 / timeN,
               double(nodesN) / double(nodes1), (double(nodesN) / timeN) / (double(nodes1) / time1));
        printf("geometric mean speed-up: %.2f\n", geometricMean);
        state.counters["speedup"] = geometricMean;
    }
    useThreads(1);
}

}  // namespace

BENCHMARK(TimeToDepth)->Unit(benchmark::kSecond)->Iterations(1);
