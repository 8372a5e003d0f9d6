#include "shell/engine.h"

#include <atomic>

#include "board/position.h"
#include "hash/hashoption.h"
#include "platform/platform.h"
#include "shell/command.h"
#include "shell/flags.h"
#include "shell/output.h"
#include "shell/params.h"
#include "smp/threads.h"

void newGame(Position&) { firstSearchOfGame = 1; }

static Lock quitLock;
static std::atomic<bool> shutdownUnderWay{false};
static bool tablesFreed = false;

void shutdown() {
    if (!shutdownUnderWay.exchange(true)) {
        quitLock.enter();
        if (!tablesFreed) {
            tablesFreed = true;
        }
        quitLock.leave();
    }
    exitProcess(0);
}

void engineMain() {
    platformInit();
    printLine("Orvo 3.0 w32\n");
    setDefaults();
    timerActive = 0;
    Hash();
    startWorkers(optionThreads);
    newGame(rootPosition);
    for (;;) readCommand(rootPosition);
}
