#include "shell/commandline.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/position.h"
#include "platform/platform.h"
#include "shell/benchpositions.h"
#include "shell/command.h"
#include "shell/engine.h"
#include "shell/options.h"
#include "shell/output.h"

namespace {

// The defaults of the command-line benchmark: the search benchmark's settings.
constexpr int DefaultThreads = 1;
constexpr int DefaultHashMegabytes = 64;

// The largest value the option of that name accepts.
int optionMaximum(const char* name) {
    const OptionRecord* o = Options;
    while (o->type != OptionEnd && std::strcmp(o->name, name) != 0) ++o;
    return o->max;
}

// A whole positive decimal number no larger than `largest`, or 0.
int positiveArgument(const char* text, int largest) {
    char* end = nullptr;
    const long value = strtol(text, &end, 10);
    if (end == text || *end != 0 || value < 1 || value > largest) return 0;
    return int(value);
}

}  // namespace

int commandLineBench(int argumentCount, const char* const* arguments) {
    // The largest values the engine accepts: a "go depth", and the options' maxima.
    const int limits[3] = {255, optionMaximum("Threads"), optionMaximum("Hash")};
    int values[3] = {SearchBenchDepth, DefaultThreads, DefaultHashMegabytes};
    if (argumentCount > 3) {
        fprintf(stderr, "usage: orvo bench [depth [threads [hash]]]\n");
        return 2;
    }
    for (int i = 0; i < argumentCount; ++i) {
        values[i] = positiveArgument(arguments[i], limits[i]);
        if (values[i] == 0) {
            fprintf(stderr, "orvo bench: \"%s\" is not a number from 1 to %d\n", arguments[i], limits[i]);
            fprintf(stderr, "usage: orvo bench [depth [threads [hash]]]\n");
            return 2;
        }
    }
    const int depth = values[0], threads = values[1], hash = values[2];

    startUp();
    char option[48];
    snprintf(option, sizeof option, "Threads value %d", threads);
    setOption(option);
    snprintf(option, sizeof option, "Hash value %d", hash);
    setOption(option);
    printLine("bench: %d positions, depth %d, %d thread%s, Hash %d MB\n", SearchBenchPositionCount, depth,
              threads, threads == 1 ? "" : "s", hash);

    uint64_t nodes = 0;
    double seconds = 0;
    for (int i = 0; i < SearchBenchPositionCount; ++i) {
        const BenchSearch run = benchSearch(SearchBenchPositions[i], depth);
        nodes += run.nodes;
        seconds += run.seconds;
        printLine("position %2d/%d  nodes %10" PRIu64 "  time %6.0f ms  %s\n", i + 1,
                  SearchBenchPositionCount, run.nodes, run.seconds * 1000, SearchBenchPositions[i]);
    }
    const uint64_t nps = seconds > 0 ? uint64_t(double(nodes) / seconds) : 0;
    printLine("total time %.0f ms\n", seconds * 1000);
    printLine("%" PRIu64 " nodes %" PRIu64 " nps\n", nodes, nps);
    return 0;
}

void engineMain(int argumentCount, const char* const* arguments) {
    if (argumentCount >= 2 && std::strcmp(arguments[1], "bench") == 0) {
        const int status = commandLineBench(argumentCount - 2, arguments + 2);
        if (status != 0) exitProcess(status);
        shutdown();
    }
    startUp();
    for (;;) readCommand(rootPosition);
}
