// Search threads and the poll thread.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct Position;

constexpr int MaxThreads = 12;

// Number of search threads in use: the smallest of the processor count, 12 and the
// "Threads" option.
extern int threadCount;

// Guards thread assignment and the end of a search (timerActive).
extern Lock workerLock;

// The position the main thread searches on; set up from the root position by prepareSearch.
extern Position searchPosition;

// Creates the thread records once at start-up.
void createWorkerRecords();

// (Re)starts the search threads and the poll thread for the "Threads" option; returns
// the number of search threads.
int startWorkers(int unused);

// Ends the poll thread (and the workers).
void stopWorkers();

// Start of a search: copies the root position into the main thread's search position,
// resets node counters and flags, and wakes the poll thread.
void prepareSearch(Position& root);

// Raises the abort flag of every search position.
void abortAllSearches();

// Sum of the node counters of all search positions.
uint64_t totalNodes();

// Number of times the threads were (re)started since the process began.
extern int workerStarts;
