// Search threads and the poll thread.
#pragma once

// Number of search threads in use: the smallest of the processor count, 12 and the
// "Threads" option.
extern int threadCount;

// (Re)starts the search threads for the "Threads" option; returns their number.
int startWorkers(int unused);

// Number of times the threads were (re)started since the process began.
extern int workerStarts;
