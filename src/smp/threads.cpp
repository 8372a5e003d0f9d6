#include "smp/threads.h"

#include <cstring>

#include "core/flags.h"
#include "core/params.h"
#include "hash/tt.h"

int threadCount = 1;
int processorsFound = 1;
int processorCountOverride = 0;
int workerStarts = 0;
Lock workerLock;

// On a cache line of its own: every deep node reads it.
alignas(64) std::atomic<uint64_t> idleMask{0};
std::atomic<int> idleWatchMicros{0};

Slot (*const slots)[SlotsPerThread] = new Slot[MaxThreads][SlotsPerThread]();
SplitPoint* const splitPoints = new SplitPoint[MaxSplitPoints]();
std::atomic<Slot*> threadPosition[MaxThreads];
// Never destroyed: an idle worker may still wait on its event when the process exits.
Event* const workerEvent = new Event[MaxThreads];
Flag exitRequest[MaxThreads];
std::atomic<int> startedCount{0};
int runningThreads = 0;

// Set by a worker thread as the last thing it does.
static Flag workerExited[MaxThreads];

// Until the search sets its routines, a worker only waits to be told to end, and the poll
// thread has nothing to check.
static void waitForEnd(int thread) {
    while (!exitRequest[thread]) workerEvent[thread].wait();
}
static void checkNothing() {}
void (*workerLoop)(int thread) = waitForEnd;
void (*pollCheck)() = checkNothing;

// The poll thread: wakes every millisecond during a search or a perft to run the search's
// check (its limits, its periodic report and the input that waits).
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
            if (timerActive) pollCheck();
        }
    }
}

// A worker thread: reports that it runs, then waits for work until it is told to end.
static void workerThreadBody(int index) {
    workerLock.enter();
    ++startedCount;
    workerLock.leave();
    workerLoop(index);
    workerExited[index] = 1;
}

Slot* slotOf(Position& pos) {
    const auto address = reinterpret_cast<uintptr_t>(&pos);
    const auto first = reinterpret_cast<uintptr_t>(&slots[0][0].position);
    const auto last = reinterpret_cast<uintptr_t>(&slots[MaxThreads - 1][SlotsPerThread - 1].position);
    if (address < first || address > last || (address - first) % sizeof(Slot) != 0) return nullptr;
    return &slots[0][0] + (address - first) / sizeof(Slot);
}

void createWorkerRecords() {
    for (int t = 0; t < MaxThreads; ++t) {
        for (int s = 0; s < SlotsPerThread; ++s) {
            Slot& slot = slots[t][s];
            initPosition(slot.position);
            slot.threadIndex = uint8_t(t);
            slot.slotIndex = uint8_t(s);
            slot.active = 0;
            slot.splitWorkerCount = 0;
            slot.master = nullptr;
            slot.splitPoint = nullptr;
            for (Slot*& w : slot.splitWorkers) w = nullptr;
        }
        threadPosition[t] = nullptr;
    }
    for (int i = 0; i < MaxSplitPoints; ++i) splitPoints[i].inUse = 0;
}

void stopWorkers() {
    for (int i = 1; i < runningThreads; ++i) {
        exitRequest[i] = 1;
        workerEvent[i].signal();
        while (!workerExited[i]) sleepMs(1);
        workerExited[i] = 0;
        exitRequest[i] = 0;
    }
    pollExitRequest = 1;
    pollExited = 0;
    pollEvent.signal();
    while (!pollExited) sleepMs(1);
    pollExited = 0;
    runningThreads = 0;
}

int startWorkers(int) {
    int processors = processorCountOverride ? processorCountOverride : processorCount();
    if (processors < 1) processors = 1;
    processorsFound = processors;
    int n = processors;
    if (n > MaxThreads) n = MaxThreads;
    if (n > optionThreads) n = optionThreads;
    if (n < 1) n = 1;

    pollExitRequest = 0;
    if (runningThreads != 0) stopWorkers();
    pollExitRequest = 0;
    stopSearch = 0;
    idleMask = 0;
    threadCount = n;
    idleWatchMicros = n <= processorCount() ? IdleWatchMicros : 0;
    hashClearThreads = n;
    for (int t = 0; t < n; ++t) {
        for (Slot& slot : slots[t]) {
            slot.active = 0;
            slot.position.nodes = 0;
        }
    }
    for (int i = 0; i < MaxSplitPoints; ++i) splitPoints[i].inUse = 0;
    for (int t = 0; t < n; ++t) {
        threadPosition[t] = nullptr;
        exitRequest[t] = 0;
    }

    pollStarted = 0;
    startThread(pollThreadBody, 0);
    startedCount = 1;
    for (int t = 1; t < n; ++t) {
        workerExited[t] = 0;
        startThread(workerThreadBody, t);
    }
    while (startedCount != n || !pollStarted) sleepMs(1);
    runningThreads = n;
    ++workerStarts;
    sleepMs(1);
    return n;
}

void copySearchPosition(Position& to, const Position& from) {
    std::memcpy(to.board, from.board, sizeof to.board);
    std::memcpy(to.pieces, from.pieces, sizeof to.pieces);
    std::memcpy(to.pinnerOfBlack, from.pinnerOfBlack, sizeof to.pinnerOfBlack);
    std::memcpy(to.pinnerOfWhite, from.pinnerOfWhite, sizeof to.pinnerOfWhite);
    to.sideToMove = from.sideToMove;
    to.whiteKingSquare = from.whiteKingSquare;
    to.blackKingSquare = from.blackKingSquare;
    to.ply = from.ply;
    to.castle = from.castle;
    to.moveNumber = from.moveNumber;
    to.stateBase[0] = from.state[-1];
    to.stateBase[1] = from.state[0];
    to.state = to.stateBase + 1;
    const uint64_t keys = from.historyLength < KeyHistorySize ? from.historyLength + 1 : KeyHistorySize;
    std::memcpy(to.keyHistory, from.keyHistory, keys * sizeof(uint64_t));
    to.historyLength = from.historyLength;
}

void prepareSearch(Position& root) {
    Slot& main = slots[0][0];
    main.active = 1;
    setAbort(main.position, false);
    copySearchPosition(main.position, root);
    main.splitWorkerCount = 0;
    main.master = nullptr;
    main.splitPoint = nullptr;
    for (Slot*& w : main.splitWorkers) w = nullptr;

    stopSearch = 0;
    for (int t = 0; t < threadCount; ++t) {
        for (Slot& slot : slots[t]) {
            slot.active = 0;
            setAbort(slot.position, false);
            slot.position.nodes = 0;
            // Every slot starts the search on a clean stack above its root record, so
            // nothing a search wrote per ply (killers above all) reaches the next one.
            std::memset(static_cast<void*>(slot.position.stateBase + 2), 0,
                        (SearchStackRecords - 2) * sizeof(StateRecord));
        }
    }
    main.active = 1;
    for (int i = 0; i < MaxSplitPoints; ++i) splitPoints[i].inUse = 0;

    for (int t = 0; t < MaxThreads; ++t) threadPosition[t] = nullptr;
    threadPosition[0] = &main;

    startPolling();
}

void startPolling() {
    timerActive = 1;
    pollEvent.signal();
    for (int spin = 0; spin < 10000; ++spin) std::atomic_signal_fence(std::memory_order_seq_cst);
    // The poll thread may still be waiting for the previous search to be marked idle.
    searchIdle = 1;
    while (!timerAwake) {
        pollEvent.signal();
        sleepMs(1);
    }
    searchIdle = 0;
}

void abortAllSearches() {
    for (int t = 0; t < MaxThreads; ++t) {
        if (t > 0 && t < runningThreads) workerEvent[t].signal();
        for (Slot& slot : slots[t]) setAbort(slot.position, true);
    }
}

void releaseAllSlots() {
    workerLock.enter();
    for (int t = 0; t < MaxThreads; ++t)
        for (Slot& slot : slots[t]) slot.active = 0;
    for (int i = 0; i < MaxSplitPoints; ++i) splitPoints[i].inUse = 0;
    workerLock.leave();
}

int deepestPly() {
    int deepest = 0;
    const int threads = runningThreads > 0 ? runningThreads : 1;
    for (int t = 0; t < threads; ++t)
        for (Slot& slot : slots[t])
            if (deepestPlyOf(slot.position) > deepest) deepest = deepestPlyOf(slot.position);
    return deepest;
}

void clearDeepestPlies() {
    for (int t = 0; t < MaxThreads; ++t)
        for (Slot& slot : slots[t]) clearDeepestPly(slot.position);
}

uint64_t totalNodes() {
    uint64_t nodes = 0;
    const int threads = runningThreads > 0 ? runningThreads : 1;
    for (int t = 0; t < threads; ++t)
        for (Slot& slot : slots[t]) nodes += nodeCount(slot.position);
    return nodes;
}
