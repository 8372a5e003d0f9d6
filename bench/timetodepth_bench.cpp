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
//
// GameTimeToDepth measures the same in the conditions of a game, where the tables are warm
// from the searches of the moves before and a move takes a tenth of a second: from each of
// the positions one thread plays a line of ORVO_GTTD_PLIES plies (default 40), searching
// each position to ORVO_GTTD_DEPTH plies (default 12) on the tables of the line so far;
// then two threads search the same positions in the same order. The table shows per line
// the time and nodes of each, the speed-up and the nodes of two threads over those of one.
// ORVO_GTTD_COLD=1 clears the tables before every search instead. The split settings above
// apply to both benchmarks.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/position.h"
#include "core/params.h"
#include "search/driver.h"
#include "search/search.h"
#include "shell/benchpositions.h"
#include "shell/engine.h"
#include "shell/movetext.h"
#include "shell/options.h"
#include "shell/positioncommand.h"
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

// The sums of a benchmark's rows and the geometric mean of their speed-ups.
struct Totals {
    double time1 = 0, timeN = 0, logSum = 0;
    uint64_t nodes1 = 0, nodesN = 0;
    int rows = 0;

    void add(double seconds1, uint64_t n1, double secondsN, uint64_t nN) {
        time1 += seconds1;
        timeN += secondsN;
        nodes1 += n1;
        nodesN += nN;
        logSum += std::log(seconds1 / secondsN);
        ++rows;
    }

    // Prints the totals line (label padded to the table's first columns) and the mean.
    void print(const char* label, benchmark::State& state) const {
        const double geometricMean = std::exp(logSum / rows);
        printf("%s %9.3f %11llu %9.3f %11llu %7.2f  nodes ratio %.2f  nps ratio %.2f\n", label, time1,
               (unsigned long long)nodes1, timeN, (unsigned long long)nodesN, time1 / timeN,
               double(nodesN) / double(nodes1), (double(nodesN) / timeN) / (double(nodes1) / time1));
        printf("geometric mean speed-up: %.2f\n", geometricMean);
        state.counters["speedup"] = geometricMean;
    }
};

void startOnce() {
    static bool started = false;
    if (started) return;
    startUp();
    setOption("Hash value 64");
    tuning.SplitMinDepth = settingFromEnvironment("ORVO_TTD_SPLIT_MIN_DEPTH", tuning.SplitMinDepth);
    if (const char* allNodes = std::getenv("ORVO_TTD_ALL_NODE_SPLIT"))
        tuning.AllNodeSplit = std::atoi(allNodes);
    started = true;
}

void TimeToDepth(benchmark::State& state) {
    startOnce();
    const int depth = settingFromEnvironment("ORVO_TTD_DEPTH", DefaultDepth);
    const int threads = settingFromEnvironment("ORVO_TTD_THREADS", 2);
    for (auto _ : state) {
        useThreads(threads);  // for the idle watch it sets
        printf("time to depth %d, 1 thread against %d (Hash 64, splits from depth %d%s, idle watch %d us)\n",
               depth, threads, tuning.SplitMinDepth, tuning.AllNodeSplit ? "" : ", no all-node splits",
               idleWatchMicros.load());
        printf("%3s %9s %11s %9s %11s %7s %7s  %s\n", "pos", "t1 s", "nodes1", "tN s", "nodesN", "speedup",
               "splits", "nodes per thread");
        Totals totals;
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
            totals.add(one.seconds, one.nodes, many.seconds, many.nodes);
        }
        totals.print("total", state);
    }
    useThreads(1);
}

// A line of play from a position: its moves as text, as "position" takes them.
struct Line {
    std::string moves;
    int plies = 0;
};

struct LineRun {
    double seconds = 0;
    uint64_t nodes = 0;
};

// Searches the positions of a line in order on the tables of the line so far (on cleared
// tables when cold), each to the depth; with extend, plays each search's best move and
// appends it to the line.
LineRun searchLine(const char* fen, Line& line, int plies, int depth, bool extend) {
    const char* const coldSetting = std::getenv("ORVO_GTTD_COLD");
    const bool cold = coldSetting && std::atoi(coldSetting) > 0;
    LineRun run;
    newGame(rootPosition);
    std::string moves;
    for (int ply = 0; ply < plies; ++ply) {
        if (!extend && ply == line.plies) break;
        if (cold && ply > 0) newGame(rootPosition);
        std::string command = "fen ";
        command.append(fen);
        if (!moves.empty()) command.append(" moves").append(moves);
        positionCommand(rootPosition, command.c_str());
        const BenchSearch search = benchSearchRoot(depth);
        run.seconds += search.seconds;
        run.nodes += search.nodes;
        if (extend) {
            line.plies = ply + 1;
            if (!bestMove.load()) break;
            char text[8];
            moveToText(bestMove.load(), text);
            moves.append(" ").append(text);
            line.moves = moves;
        } else {
            moves = line.moves.substr(0, line.moves.find(' ', moves.size() + 1));
        }
    }
    return run;
}

void GameTimeToDepth(benchmark::State& state) {
    startOnce();
    const int depth = settingFromEnvironment("ORVO_GTTD_DEPTH", 12);
    const int plies = settingFromEnvironment("ORVO_GTTD_PLIES", 40);
    const int threads = settingFromEnvironment("ORVO_TTD_THREADS", 2);
    for (auto _ : state) {
        useThreads(threads);
        printf(
            "lines of %d plies searched to depth %d, 1 thread against %d (Hash 64, splits from depth %d)\n",
            plies, depth, threads, tuning.SplitMinDepth);
        printf("%3s %5s %9s %11s %9s %11s %7s %7s\n", "pos", "plies", "t1 s", "nodes1", "tN s", "nodesN",
               "speedup", "nodes");
        Totals totals;
        for (int index : MiddlegamePositions) {
            const char* fen = SearchBenchPositions[index];
            Line line;
            useThreads(1);
            const LineRun one = searchLine(fen, line, plies, depth, true);
            useThreads(threads);
            const LineRun many = searchLine(fen, line, plies, depth, false);
            const double speedup = one.seconds / many.seconds;
            printf("%3d %5d %9.3f %11llu %9.3f %11llu %7.2f %7.2f\n", index, line.plies, one.seconds,
                   (unsigned long long)one.nodes, many.seconds, (unsigned long long)many.nodes, speedup,
                   double(many.nodes) / double(one.nodes));
            fflush(stdout);
            totals.add(one.seconds, one.nodes, many.seconds, many.nodes);
        }
        totals.print("total      ", state);
    }
    useThreads(1);
}

}  // namespace

BENCHMARK(TimeToDepth)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(GameTimeToDepth)->Unit(benchmark::kSecond)->Iterations(1);
