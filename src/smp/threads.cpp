#include "smp/threads.h"

#include <cstdlib>
#include <cstring>

#include "board/position.h"
#include "search/driver.h"
#include "shell/flags.h"
#include "shell/params.h"

int threadCount = 1;
int workerStarts = 0;
Lock workerLock;
Position searchPosition;

static int runningThreads = 0;

// The poll thread: wakes every millisecond during a search to check the limits, print
// the periodic info line and execute pending input.
// Never destroyed: the poll thread may still wait on it when the process exits.
static Event& pollEvent = *new Event;
static Flag pollStarted;
static Flag pollExitRequest;
static Flag pollExited;

static void pollThreadBody(int) {
    for (;;) {
        timerAwake = 0;
        pollBusy = 1;
        while (!searchIdle) sleepMs(1);
        pollBusy = 0;
        pollStarted = 1;
        stopping = 0;
        do {
            pollEvent.wait();
            if (pollExitRequest) {
                pollExited = 1;
                return;
            }
        } while (!timerActive);
        timerAwake = 1;
        while (timerActive) {
            pollBusy = 1;
            sleepMs(1);
            if (timerActive) iterationDone(rootPosition, 0);
        }
    }
}

void createWorkerRecords() {
    initPosition(searchPosition);
}

void stopWorkers() {
    if (runningThreads == 0) return;
    pollExitRequest = 1;
    pollExited = 0;
    pollEvent.signal();
    while (!pollExited) sleepMs(1);
    pollExited = 0;
    runningThreads = 0;
}

int startWorkers(int) {
    int n = processorCount();
    if (n > MaxThreads) n = MaxThreads;
    if (n > optionThreads) n = optionThreads;
    if (n < 1) n = 1;

    pollExitRequest = 0;
    if (runningThreads != 0) stopWorkers();
    pollExitRequest = 0;
    stopSearch = 0;
    pollStarted = 0;
    startThread(pollThreadBody, 0);
    while (!pollStarted) sleepMs(1);
    threadCount = n;
    runningThreads = n;
    ++workerStarts;
    sleepMs(1);
    return n;
}

void prepareSearch(Position& root) {
    Position& p = searchPosition;
    memcpy(p.board, root.board, sizeof p.board);
    memcpy(p.pieces, root.pieces, sizeof p.pieces);
    memcpy(p.pinnerOfBlack, root.pinnerOfBlack, sizeof p.pinnerOfBlack);
    memcpy(p.pinnerOfWhite, root.pinnerOfWhite, sizeof p.pinnerOfWhite);
    p.sideToMove = root.sideToMove;
    p.whiteKingSquare = root.whiteKingSquare;
    p.blackKingSquare = root.blackKingSquare;
    p.ply = root.ply;
    p.stateBase[0] = root.stateBase[0];
    p.stateBase[1] = root.stateBase[1];
    p.state = p.stateBase + 1;
    memcpy(p.keyHistory, root.keyHistory, sizeof p.keyHistory);
    p.historyLength = root.historyLength;

    stopSearch = 0;
    p.nodes = 0;
    setAbort(p, false);

    timerActive = 1;
    pollEvent.signal();
    // The poll thread may still be waiting for the previous search to be marked idle.
    searchIdle = 1;
    while (!timerAwake) {
        pollEvent.signal();
        sleepMs(1);
    }
    searchIdle = 0;
}

void abortAllSearches() { setAbort(searchPosition, true); }

uint64_t totalNodes() { return searchPosition.nodes; }
