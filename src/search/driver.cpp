#include "search/driver.h"

#include <cinttypes>

#include "board/position.h"
#include "platform/platform.h"
#include "shell/command.h"
#include "shell/flags.h"
#include "shell/go.h"
#include "shell/output.h"
#include "smp/threads.h"

Move bestMove = 0;
int bestScore = 0;
int bestDepth = 0;

// Time-control hints of the root search.
Flag bestMoveChanged;
Flag scoreDropped;
Flag firstMoveStable;

void runSearch(Position&) {}

static int64_t nodesPerSecond(uint64_t nodes, int64_t ms) {
    return ms <= 0 ? 0 : int64_t(nodes / uint64_t(ms) * 1000);
}

void iterationDone(Position& pos, int depth) {
    if (bestMove == 0) return;
    if (stopSearch) {
        haltSearch(depth);
        return;
    }
    if (stopping || !searching) return;
    const int64_t elapsed = int64_t(clockMicros()) - searchStartTime;
    if (depth != 0 && depth == depthLimit) {
        haltSearch(depth);
        return;
    }
    if (!benchMode && elapsed - lastInfoTime > 2000000) {
        const uint64_t nodes = totalNodes();
        const int64_t ms = elapsed / 1000;
        printLine("info time %" PRId64 " nodes %" PRId64 " nps %" PRId64 "\n", ms, int64_t(nodes),
                  nodesPerSecond(nodes, ms));
        lastInfoTime = elapsed;
    }
    if (!pondering && !infinite) {
        if (depth >= 1 && depth <= 7) return;
        if (elapsed > hardTimeLimit) {
            haltSearch(depth);
            return;
        }
        if (depth != 0 || checkTimeNow) {
            checkTimeNow = 0;
            if ((!scoreDropped && elapsed >= fullTimeLimit) ||
                (firstMoveStable && elapsed >= easyTimeLimit) ||
                (!bestMoveChanged && !scoreDropped && elapsed >= mainTimeLimit)) {
                haltSearch(depth);
                return;
            }
        }
    }
    if (depth == 0 && !benchMode) {
        while (timerActive && !stopping && !inputClosed && inputAvailable()) readCommand(pos);
    }
}

void haltSearch(int wait) {
    stopRequested = 1;
    pondering = 0;
    infinite = 0;
    stopping = 1;
    stopSearch = 1;
    if (wait != 0) return;
    for (;;) {
        abortAllSearches();
        workerLock.enter();
        const bool active = timerActive;
        workerLock.leave();
        if (!active) break;
        sleepMs(1);
    }
}
