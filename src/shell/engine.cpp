#include "shell/engine.h"

#include <atomic>

#include "board/bitboard.h"
#include "board/position.h"
#include "core/flags.h"
#include "core/params.h"
#include "eval/evalterms.h"
#include "eval/kpk.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/pvhash.h"
#include "hash/tt.h"
#include "movegen/generate.h"
#include "platform/platform.h"
#include "search/driver.h"
#include "shell/hashoption.h"
#include "shell/output.h"
#include "shell/report.h"
#include "smp/threads.h"

static Lock quitLock;
static std::atomic<bool> shutdownUnderWay{false};
static bool tablesFreed = false;

void shutdown() {
    if (!shutdownUnderWay.exchange(true)) {
        quitLock.enter();
        if (!tablesFreed) {
            freePVHash();
            freePawnHash();
            freeHash();
            freeEvalHash();
            tablesFreed = true;
        }
        quitLock.leave();
    }
    exitProcess(0);
}

void startUp() {
    platformInit();
    connectSearch();
    connectShell();
    printLine("Orvo 3.0 w32\n");
    initPopCount();
    setDefaults();
    initPosition(rootPosition);
    createWorkerRecords();
    timerActive = 0;
    Hash();
    initCaptureOrder();
    initKpk();
    initKingShelter();
    startWorkers(optionThreads);
    newGame(rootPosition);
}
