// Search threads, their slots, the split points and the poll thread.
//
// Thread 0 is the main thread (it also runs the command loop); threads 1 to n-1 are
// worker threads that sleep in the idle loop until a split point gives them a slot. Every
// thread owns 8 slots, each a complete position with its own state stack: a slot is what
// a thread searches at one split point, and thread 0's first slot is where the main
// search runs.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "core/flags.h"
#include "platform/platform.h"

struct MovePicker;
struct SplitPoint;
struct ZeroWindowFrame;

constexpr int MaxThreads = 12;
constexpr int SlotsPerThread = 8;
constexpr int MaxSplitPoints = 16;

struct Slot {
    Position position;  // its abortFlag is the slot's: leave this search at once
    uint8_t threadIndex;
    uint8_t slotIndex;
    uint8_t active;  // in use (assigned under workerLock)
    Lock slotLock;   // guards splitWorkers and the abort flags of those slots
    // Slots still working on the split point this slot owns (written under workerLock).
    std::atomic<int32_t> splitWorkerCount;
    Slot* master;                    // the slot whose split point this slot helps
    Slot* splitWorkers[MaxThreads];  // by thread index: the slots working for this slot's split point
    SplitPoint* splitPoint;          // the split point this slot helps
};

// A node whose remaining moves are shared by several threads. Every field and every use of
// the picker are guarded by splitLock.
struct SplitPoint {
    // Raised by PV-kind participants; the node's beta for cut and all kinds, the shallow
    // node's best score when it split.
    int32_t alpha;
    int32_t beta;
    int32_t depth;     // remaining depth of the node
    int32_t nodeKind;  // SplitKind: 1 PV, 2 cut, 3 all, 4 shallow
    // At the start alpha (PV and shallow) or beta - 1 (cut, all); beta after a cutoff. PV and
    // shallow participants raise it with their values.
    int32_t bestValue;
    int32_t cutoffMove;
    int32_t alphaMove;    // PV kind: the move that raised bestValue, 0 = none
    int32_t workerCount;  // participants searching a move here now
    MovePicker* picker;   // the owner node's picker, shared by all participants
    // The moves the owner node has counted, pruned ones included; each move taken counts one.
    int32_t moveCount;
    // Zero-window kinds: the owner node's frame (it lives while the split point is in use).
    const ZeroWindowFrame* frame;
    int32_t hashExtension;  // PV kind: the extension of the node's hash move
    uint8_t cutoff;         // a participant failed high
    uint8_t inUse;
    Lock splitLock;
};

// Number of search threads in use: the smallest of the processor count, 12 and the
// "Threads" option.
extern int threadCount;
// Processors of the machine (at least 1), as found by the last start of the threads.
extern int processorsFound;
// Tests only: taken as the processor count when not 0.
extern int processorCountOverride;

// Bit i set: search thread i is idle and may join a split point.
extern std::atomic<uint64_t> idleMask;
inline bool anyThreadIdle() { return idleMask.load(std::memory_order_relaxed) != 0; }

// How long an idle thread watches for work before it sleeps, in microseconds; 0 when the
// search threads outnumber the processors, where watching would take a processor from a
// thread that searches.
constexpr int IdleWatchMicros = 1000;
extern std::atomic<int> idleWatchMicros;

// The search's routines that the threads run, set by the search at start-up before the
// threads start: a worker thread's loop (it waits for a slot to search, searches it and
// waits again until it is told to end), and the poll thread's check of the running search
// or perft, once a millisecond.
extern void (*workerLoop)(int thread);
extern void (*pollCheck)();

// Guards threadPosition, idleMask, slot assignment, split-point allocation and timerActive.
extern Lock workerLock;

// The slots of every thread, and the split points. Created once, never freed: detached
// threads may still use them while the process exits.
extern Slot (*const slots)[SlotsPerThread];
extern SplitPoint* const splitPoints;

// Per thread: the slot it must search now, or nullptr when it is idle (an owner waiting
// for its split point counts as idle).
extern std::atomic<Slot*> threadPosition[MaxThreads];
// Per thread: the auto-reset event it sleeps on.
extern Event* const workerEvent;
// Per thread: ends the worker thread when it is idle.
extern Flag exitRequest[MaxThreads];
// Worker threads that have started (thread 0 counts as started); guarded by workerLock.
extern std::atomic<int> startedCount;
// Number of threads started by the last start (0 before the first).
extern int runningThreads;

// The position the main search runs on: thread 0's first slot.
inline Position& mainSearchPosition() { return slots[0][0].position; }

// The slot a position belongs to, or nullptr for a position that is no slot.
Slot* slotOf(Position& pos);

// Gives a slot's position the node of another position: the board and its castling rules,
// the record before the current one and the current one (the copy's second record becomes
// current), the key history.
void copySearchPosition(Position& to, const Position& from);

// Creates the thread records once at start-up: the slots with their state stacks, the
// worker events and the split-point locks.
void createWorkerRecords();

// (Re)starts the worker threads and the poll thread for the "Threads" option; returns the
// number of search threads.
int startWorkers(int unused);

// Ends the worker threads and the poll thread.
void stopWorkers();

// Start of a search: copies the root position into thread 0's first slot, resets all node
// counters, abort and in-use flags, and wakes the poll thread.
void prepareSearch(Position& root);

// Wakes the poll thread for a search or a perft (timerActive rises) and returns once it
// polls; called with searchIdle 0, which it leaves 0.
void startPolling();

// Wakes every worker and raises the abort flag of every slot.
void abortAllSearches();

// After a stop: no slot is active, no split point is in use.
void releaseAllSlots();

// Sum of the node counters of all slots of the running threads.
uint64_t totalNodes();
// The deepest ply the positions of all slots reached since clearDeepestPlies: the selective
// depth of the search.
int deepestPly();
void clearDeepestPlies();

// Number of times the threads were (re)started since the process began.
extern int workerStarts;
