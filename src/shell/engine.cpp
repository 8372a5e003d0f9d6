#include "shell/engine.h"

#include <atomic>
#include <cstring>

#include "board/bitboard.h"
#include "board/fen.h"
#include "board/position.h"
#include "core/flags.h"
#include "core/params.h"
#include "eval/evalterms.h"
#include "eval/kpk.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/pvhash.h"
#include "hash/sizing.h"
#include "hash/tt.h"
#include "movegen/gaintable.h"
#include "movegen/generate.h"
#include "movegen/history.h"
#include "platform/platform.h"
#include "search/driver.h"
#include "search/root.h"
#include "shell/command.h"
#include "shell/commandline.h"
#include "shell/hashoption.h"
#include "shell/output.h"
#include "smp/threads.h"

void newGame(Position& pos) {
    // The initial position on a cleared state stack, every derived field rebuilt, ply and
    // history length 0; this also marks the position valid.
    parseFen(pos, StartFen);
    std::memset(pos.keyHistory, 0, sizeof pos.keyHistory);

    // What one search hands to the next: nothing survives into a new game.
    previousSearchDepth = 1000;
    bestMove = 0;
    instantMoveArmed = 1;
    firstSearchOfGame = 1;

    if (!hashTablesFresh) {
        clearPVHash();
        clearHash();
        clearEvalHash();
        clearPawnHash();
    }
    resetHistory();
    clearPositionalGains();
}

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
    printLine("Orvo 3.0 w32\n");
    initPopCount();
    setDefaults();
    connectSearch();
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

void engineMain(int argumentCount, const char* const* arguments) {
    if (argumentCount >= 2 && std::strcmp(arguments[1], "bench") == 0) {
        const int status = commandLineBench(argumentCount - 2, arguments + 2);
        if (status != 0) exitProcess(status);
        shutdown();
    }
    startUp();
    for (;;) readCommand(rootPosition);
}
