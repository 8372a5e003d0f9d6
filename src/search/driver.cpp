#include "search/driver.h"

#include <cstring>

#include "board/attackmap.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/position.h"
#include "core/flags.h"
#include "core/params.h"
#include "eval/evaluate.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/pvhash.h"
#include "hash/sizing.h"
#include "hash/tt.h"
#include "movegen/gaintable.h"
#include "movegen/history.h"
#include "movegen/legality.h"
#include "platform/platform.h"
#include "search/limits.h"
#include "search/root.h"
#include "search/search.h"
#include "search/strength.h"
#include "smp/threads.h"

std::atomic<Move> bestMove{0};
int bestScore = 0;
int bestDepth = 0;

void (*readCommandLine)(Position& root) = nullptr;

namespace {

// Until the shell sets its reports, the search reports nothing.
void noLine(const PVReport&) {}
void noNoMove(bool) {}
void noBestMove(const Position&, Move, Move) {}
void noProgress(int64_t, uint64_t) {}
void noRootMove(const Position&, int, Move, int) {}

}  // namespace

SearchReports searchReports = {noLine, noNoMove, noBestMove, noProgress, noRootMove};

namespace {

// Keys of the game kept for repetition detection at most this many plies back.
constexpr int RepetitionWindow = 110;

// Rebuilds the key history from the state stack: the keys since the last irreversible
// move, oldest first, the current position last. The first record of the stack holds the
// position that "position" set up, a position of the game like the others.
void rebuildKeyHistory(Position& root) {
    root.historyLength = 0;
    root.keyHistory[0] = 0;
    const int rule50 = root.state->rule50;
    if (rule50 > RepetitionWindow) return;
    const StateRecord* first = root.state - rule50;
    if (first < root.stateBase) first = root.stateBase;
    int n = 0;
    for (const StateRecord* s = first; s <= root.state; ++s) root.keyHistory[n++] = s->key;
    root.historyLength = n > 0 ? uint64_t(n - 1) : 0;
}

// The positions of the game since the last irreversible move, before the current one,
// as they were before any filtering: a line that returns to one of them is drawn.
uint64_t gameKeys[RepetitionWindow + 1];
int gameKeyCount = 0;

void rememberGameKeys(const Position& root) {
    gameKeyCount = int(root.historyLength);
    for (int i = 0; i < gameKeyCount; ++i) gameKeys[i] = root.keyHistory[i];
}

// Without a clock, only positions that were already repeated count as draws: every
// earlier key that does not occur again an even number of plies later (before the
// current position) is removed.
void filterUnrepeatedKeys(Position& root) {
    const int last = int(root.historyLength);
    for (int j = 0; j < last; ++j) {
        bool repeated = false;
        for (int k = j + 2; k < last; k += 2)
            if (root.keyHistory[k] == root.keyHistory[j]) repeated = true;
        if (!repeated) root.keyHistory[j] = 0;
    }
}

// Next move of a principal variation: the PV table first, then the transposition table.
Move nextPVMove(uint64_t key) {
    const PVEntry* cluster = pvCluster(key);
    for (int i = 0; i < 4; ++i)
        if (cluster[i].key == key && cluster[i].move) return cluster[i].move;
    const TTEntry* entries = ttCluster(key);
    for (int i = 0; i < 4; ++i)
        if (entries[i].check == ttCheck(key) && entries[i].move) return entries[i].move;
    return 0;
}

bool pseudoLegal(const Position& pos, Move m) {
    return pos.sideToMove == White ? isPseudoLegal<White>(pos, m) : isPseudoLegal<Black>(pos, m);
}

// Makes a move and keeps it only when it leaves the mover's king safe.
bool makeLegalMove(Position& pos, Move m) {
    const Side mover = pos.sideToMove;
    makeMoveAny(pos, m);
    computeAttacks(pos);
    const Bitboard attacks = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
    if (attacks & pos.pieces[pieceFor(mover, King)]) {
        unmakeMoveAny(pos, m);
        return false;
    }
    return true;
}

// Plays the line from the PV and transposition tables on pos, writes its moves and
// returns their number (at most MaxPVMoves). The line ends with the first move after which
// the game is drawn: its position occurred before, in the game or in the line, or the
// fifty-move rule applies.
int collectPV(Position& pos, Move first, Move* moves) {
    uint64_t keys[RepetitionWindow + 260];
    int keyCount = 0;
    int played = 0;
    for (int i = 0; i < gameKeyCount; ++i) keys[keyCount++] = gameKeys[i];
    keys[keyCount++] = pos.state->key;
    Move m = first;
    while (m && pseudoLegal(pos, m) && makeLegalMove(pos, m)) {
        moves[played++] = m;
        const uint64_t key = pos.state->key;
        bool repeated = false;
        for (int i = 0; i < keyCount; ++i) repeated |= keys[i] == key;
        if (repeated || pos.state->rule50 >= 100 || played >= MaxPVMoves) break;
        keys[keyCount++] = key;
        m = nextPVMove(key);
    }
    for (int i = played; i > 0; --i) unmakeMoveAny(pos, moves[i - 1]);
    return played;
}

// What the engine reports when the root has no move to play.
void reportNoMove(Position& root) {
    if (benchMode) return;
    computeAttacks(root);
    searchReports.noMove(inCheck(root));
}

}  // namespace

void reportPV(Position& pos, int64_t elapsed, int alpha, int score, int beta) {
    const uint64_t nodes = totalNodes();
    const int64_t ms = elapsed / 1000;
    // Only the untimed search fills several lines; a search under a clock has one line
    // whatever MultiPV says, so it is never reported with lines of another search.
    // A limited search always fills its lines, and shows them.
    const int lines = searchLineCount();
    const bool severalLines = lines > 1 && (untimedSearch || limitedSearch);
    if (!severalLines) {
        PVLines[0] = MultiPvLine{bestMove, score, alpha, beta, bestDepth};
        PVLines[1].move = 0;
    }
    if (optionMultiPV < 1) return;
    const int deepest = benchMode ? 0 : deepestPly();
    const int hashfull = benchMode ? 0 : hashFullPermille();
    for (int i = 0; i < lines && i < MaxPVLines && PVLines[i].move; ++i) {
        const MultiPvLine& line = PVLines[i];
        static Move moves[MaxPVMoves];
        const int length = collectPV(pos, Move(line.move), moves);
        if (benchMode) continue;
        const int depth = line.depth >> 1;
        searchReports.line(PVReport{i + 1, ms, nodes, line.score, line.alpha, line.beta, depth,
                                    deepest > depth ? deepest : depth, hashfull, moves, length, &pos});
    }
}

void reportRootMove(const Position& root, int depth, Move move, int number) {
    if (benchMode || int64_t(clockMicros()) - searchStartTime < RootMoveReportMicros) return;
    searchReports.rootMove(root, depth >> 1, move, number);
}

void reportBestMove(Position& root) {
    if (bestMove == 0) {
        if (!benchMode) searchReports.bestMove(root, NoMove, NoMove);
        return;
    }
    makeMoveAny(root, bestMove);
    const uint64_t key = root.state->key;
    Move ponder = probePV(key);
    if (optionPonder && ponder == 0) {
        // A short search of the reply, so that the GUI gets a move to ponder on.
        evaluate(root, EvalFullLow, EvalFullHigh, bestMove);
        const bool check = inCheck(root);
        for (int depth = 2; depth <= 10; depth += 2) {
            if (root.sideToMove == White)
                PVsearch<White>(root, -32750, 32750, depth, check);
            else
                PVsearch<Black>(root, -32750, 32750, depth, check);
        }
        ponder = bestMoveSlot(root);
    }
    if (ponder && !(pseudoLegal(root, ponder) && makeLegalMove(root, ponder))) ponder = 0;
    if (ponder) unmakeMoveAny(root, ponder);
    unmakeMoveAny(root, bestMove);
    if (benchMode) return;
    // Without a legal reply (mate or stalemate after the best move, or nothing known of
    // the position) the best move stands alone: strict clients reject a ponder move that
    // is not a move.
    searchReports.bestMove(root, bestMove, ponder);
}

void setUpSearchRoot(Position& root) {
    rebuildKeyHistory(root);
    rememberGameKeys(root);
    if (untimedSearch) filterUnrepeatedKeys(root);

    // The root record becomes the second record of the stack; the records above start clean.
    root.stateBase[1] = *root.state;
    memset(static_cast<void*>(root.stateBase + 2), 0, (SearchStackRecords - 2) * sizeof(StateRecord));
    memset(static_cast<void*>(root.stateBase), 0, sizeof(StateRecord));
    root.state = root.stateBase + 1;
    root.ply = 0;

    hashTablesFresh = false;
    const uint8_t generation = nextGeneration();
    for (int i = 0; i < SearchStackRecords; ++i) root.stateBase[i].ttGeneration = generation;
}

void newGame(Position& pos) {
    // The initial position on a cleared state stack, every derived field rebuilt, ply and
    // history length 0; this also marks the position valid.
    parseFen(pos, StartFen);
    std::memset(pos.keyHistory, 0, sizeof pos.keyHistory);
    clearSearchMemory();
    seedStrength(clockMicros());  // each game of a limited Orvo goes its own way
}

void clearSearchMemory() {
    // What one search hands to the next: nothing survives.
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

void runSearch(Position& root) {
    searchIdle = 0;
    stopping = 0;
    firstSearchOfGame = 0;
    searchStartTime = int64_t(clockMicros());
    ponderhitSeen = 0;
    root.nodes = 0;
    bestScore = 0;
    bestDepth = 0;
    bestMove = 0;

    setUpSearchRoot(root);

    previousIterationScore = -MateValue;
    firstMoveStable = 0;
    rootMovesReady = 0;
    limitedSearch = optionLimitStrength != 0;
    if (limitedSearch) beginLimitedSearch();
    searching = 1;
    prepareSearch(root);

    iterateAny(mainSearchPosition());
    if (limitedSearch) {
        const Move chosen = chooseLimitedMove();
        if (chosen) bestMove = chosen;
    }
    // A stop that came before the first move was searched still leaves a legal move to play.
    if (bestMove == 0 && RootMoves[0].move) bestMove = entryMove(RootMoves[0].move);

    stopping = 1;
    workerLock.enter();
    timerActive = 0;
    workerLock.leave();
    previousSearchDepth = bestDepth;
    searching = 0;

    if (bestMove)
        reportPV(root, int64_t(clockMicros()) - searchStartTime, -32767, bestScore, 32767);
    else
        reportNoMove(root);
    stopping = 0;

    if (infinite && !stopRequested) {
        driverWaiting = 1;
        while (!stopRequested) readCommandLine(root);
    }
    if (pondering && !stopRequested && !ponderhitSeen) {
        driverWaiting = 1;
        while (!stopRequested && !ponderhitSeen) readCommandLine(root);
    }
    driverWaiting = 0;
    stopping = 1;
    nodeLimit = NoNodeLimit;  // the moves of the ponder-move search and of perft are not limited
    reportBestMove(root);
    stopping = 0;
    searchIdle = 1;

    if (newGamePending) newGame(root);
    // The poll thread must have left its checks of this search (timerAwake falls when it
    // does), not only its stop handler: a check still running could otherwise read the
    // commands of the next search before that search is set up, and race with its set-up.
    while (pollBusy || timerAwake) sleepMs(1);
}

namespace {

// A perft takes no input for its first moments: a script that sends a small perft and
// "quit" (or ends its input) right after gets the whole count, as it did when perft read
// no input at all, while a long count still answers within a fraction of a second.
constexpr int64_t PerftQuietMicros = 200000;
std::atomic<int64_t> perftStartTime{0};

}  // namespace

void runPerft(Position& root, int depth, PerftRun count) {
    searchIdle = 0;
    stopping = 0;
    stopRequested = 0;
    stopSearch = 0;
    perftStartTime = int64_t(clockMicros());
    perftRunning = 1;
    searching = 1;
    startPolling();

    count(root, depth, &stopSearch);

    // As at the end of a search: the poll thread stops reading, and the stop that ended
    // the count (if any) finishes once the perft is marked idle.
    stopping = 1;
    workerLock.enter();
    timerActive = 0;
    workerLock.leave();
    searching = 0;
    perftRunning = 0;
    stopping = 0;
    searchIdle = 1;
    while (pollBusy || timerAwake) sleepMs(1);
}

static void stopAtNodeLimit() {
    if (!searching || stopping) return;
    haltSearch(1);
    abortAllSearches();
}

// The poll thread's check: the limits of the running search, its periodic report and the
// input that waits.
static void pollRunningSearch() { iterationDone(rootPosition, 0); }

// A worker thread idles until a split point gives it a slot, and ends when it is told to.
static void workUntilEnd(int thread) { idleLoop(thread, nullptr); }

void connectSearch() {
    nodeLimitReached = stopAtNodeLimit;
    workerLoop = workUntilEnd;
    pollCheck = pollRunningSearch;
}

// "go mate N": the last iteration proved a mate in N moves or fewer for the side to move.
static bool mateLimitReached() {
    return mateLimit > 0 && bestScore > 25904 && ((30016 - bestScore) >> 5) <= mateLimit;
}

void iterationDone(Position& pos, int depth) {
    if (perftRunning) {
        // The poll thread during a perft: nothing to check but the input.
        if (depth == 0 && int64_t(clockMicros()) - perftStartTime >= PerftQuietMicros)
            while (timerActive && !stopping && !inputClosed && inputAvailable()) readCommandLine(pos);
        return;
    }
    // Until the root moves are listed a stop would have no move to play; from then on the
    // limits and the input count even before the first move has been searched, which in a
    // position crowded with queens can take seconds.
    if (bestMove == 0 && !rootMovesReady) return;
    if (stopSearch) {
        haltSearch(depth);
        return;
    }
    if (stopping || !searching) return;
    const int64_t elapsed = int64_t(clockMicros()) - searchStartTime;
    if (depth != 0 && (depth == depthLimit || mateLimitReached())) {
        haltSearch(depth);
        return;
    }
    // With several threads the node count of all of them decides. One thread stops itself
    // at its limit node (countNode), and only there, so that its search is repeatable.
    if (nodeLimit != NoNodeLimit && threadCount > 1 && totalNodes() >= nodeLimit) {
        haltSearch(depth);
        return;
    }
    if (!benchMode && elapsed - lastInfoTime > 2000000) {
        searchReports.progress(elapsed / 1000, totalNodes());
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
        while (timerActive && !stopping && !inputClosed && inputAvailable()) readCommandLine(pos);
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
    releaseAllSlots();
}
