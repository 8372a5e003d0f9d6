#include "smp/threads.h"

#include "platform/platform.h"
#include "shell/params.h"

int threadCount = 1;
int workerStarts = 0;

int startWorkers(int) {
    int n = processorCount();
    if (n > 12) n = 12;
    if (n > optionThreads) n = optionThreads;
    threadCount = n;
    ++workerStarts;
    return n;
}
