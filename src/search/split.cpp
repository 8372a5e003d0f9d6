// Split points: a node deep enough that has searched a move hands its remaining moves to
// idle threads. Each participant, the owner's thread included, searches in a slot of its own
// thread with a copy of the node and takes the moves one by one from the node's picker. A
// participant that fails high stops all others and everything they split below.
#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "board/makemove.h"
#include "core/params.h"
#include "eval/evaluate.h"
#include "hash/tt.h"
#include "movegen/picker.h"
#include "search/heuristics.h"
#include "search/node.h"
#include "search/pvmove.h"
#include "search/search.h"
#include "search/strength.h"
#include "smp/threads.h"

// On a cache line of its own, as the idle mask is: a split that counts itself must not
// make the nodes that read the mask miss it.
alignas(64) std::atomic<uint64_t> splitsDone{0};

// At most this many participants join one split point.
constexpr int MaxSplitParticipants = 8;

// Fields that participants read outside the split point's lock.
static int runningAlpha(SplitPoint& sp) {
    return std::atomic_ref<int32_t>(sp.alpha).load(std::memory_order_relaxed);
}
static bool cutoffSeen(SplitPoint& sp) {
    return std::atomic_ref<uint8_t>(sp.cutoff).load(std::memory_order_relaxed) != 0;
}

// A move without capture, promotion, castling or en passant.
static bool plainQuiet(Move move, bool captures) { return !captures && moveType(move) == MoveNormal; }

SplitPoint* allocateSplitPoint() {
    for (int i = 0; i < MaxSplitPoints; ++i)
        if (!splitPoints[i].inUse) return &splitPoints[i];
    return nullptr;
}

bool split(Position& pos, MovePicker& picker, int depth, int alpha, int beta, SplitKind kind, int& result,
           const ZeroWindowFrame* frame, int moveCount, int hashExtension) {
    Slot* const owner = slotOf(pos);
    // A limited search is one thread's: more threads would make it stronger than its level.
    if (!owner || limitedSearch) return false;
    const int ownerThread = owner->threadIndex;

    workerLock.enter();
    bool anyIdle = false;
    for (int t = 0; t < threadCount && !anyIdle; ++t) anyIdle = threadPosition[t].load() == nullptr;
    if (abortRaised(pos) || !anyIdle) {
        workerLock.leave();
        return false;
    }
    // The owner's thread takes part like any idle thread.
    threadPosition[ownerThread] = nullptr;
    owner->splitWorkerCount = 0;

    SplitPoint* const sp = allocateSplitPoint();
    if (!sp) {
        threadPosition[ownerThread] = owner;
        workerLock.leave();
        return false;
    }
    sp->splitLock.enter();
    sp->alpha = alpha;
    sp->beta = beta;
    sp->depth = depth;
    sp->nodeKind = kind;
    sp->bestValue = kind == SplitPV || kind == SplitShallow ? alpha : beta - 1;
    sp->cutoffMove = 0;
    sp->alphaMove = 0;
    sp->workerCount = 0;
    sp->picker = &picker;
    sp->frame = frame;
    sp->moveCount = moveCount;
    sp->hashExtension = hashExtension;
    sp->cutoff = 0;
    sp->inUse = 1;
    sp->splitLock.leave();

    Slot* assigned[MaxThreads];
    int participants = 0;
    for (int t = 0; t < MaxThreads; ++t) owner->splitWorkers[t] = nullptr;
    for (int t = 0; t < threadCount && participants < MaxSplitParticipants; ++t) {
        if (threadPosition[t].load() != nullptr) continue;
        Slot* slot = nullptr;
        for (Slot& candidate : slots[t]) {
            if (!candidate.active) {
                slot = &candidate;
                break;
            }
        }
        if (!slot) continue;
        slot->active = 1;
        setAbort(slot->position, false);
        for (Slot*& w : slot->splitWorkers) w = nullptr;
        copySearchPosition(slot->position, pos);
        slot->threadIndex = uint8_t(t);
        slot->master = owner;
        slot->splitPoint = sp;
        owner->splitWorkers[t] = slot;
        ++owner->splitWorkerCount;
        assigned[participants++] = slot;
    }
    if (participants == 0) {
        threadPosition[ownerThread] = owner;
        sp->splitLock.enter();
        sp->inUse = 0;
        sp->splitLock.leave();
        workerLock.leave();
        return false;
    }
    for (int k = 0; k < participants; ++k) {
        const int t = assigned[k]->threadIndex;
        threadPosition[t] = assigned[k];
        if (t != ownerThread) workerEvent[t].signal();
    }
    ++splitsDone;
    workerLock.leave();

    // The owner searches in its own slot like any participant, then helps elsewhere until
    // every participant has left.
    idleLoop(ownerThread, owner);

    workerLock.enter();
    sp->splitLock.enter();
    result = sp->bestValue;
    sp->inUse = 0;
    sp->splitLock.leave();
    workerLock.leave();
    return true;
}

// Raises the abort flag of the slot and of every slot working below it. The caller holds
// workerLock, under which every worker list changes, so the slot locks of the subtree are
// not taken: nested, they would be taken in an order that changes as slots are reused.
static void abortSubtree(Slot& slot) {
    setAbort(slot.position, true);
    for (Slot* w : slot.splitWorkers)
        if (w) abortSubtree(*w);
}

void splitCutoff(SplitPoint& sp, Slot& slot, Move move) {
    Position& pos = slot.position;
    sp.splitLock.enter();
    if (sp.cutoff || abortRaised(pos)) {
        sp.splitLock.leave();
        return;
    }
    std::atomic_ref<uint8_t>(sp.cutoff).store(1, std::memory_order_relaxed);
    sp.cutoffMove = move;
    sp.bestValue = sp.beta;
    const int depth = sp.depth, beta = sp.beta, kind = sp.nodeKind;
    sp.splitLock.leave();

    // The participant stands on the split node again: its board is the node's.
    if (plainQuiet(move, pos.board[moveTo(move)] != NoPiece)) historyBonus(pos, move, depth);
    const uint64_t key = pos.state->key;
    const uint8_t generation = pos.state->ttGeneration;
    if (kind == SplitCut)
        storeLower(key, move, depth, beta, generation);
    else
        storeLowerFlags(key, move, depth, beta, 0, generation);

    workerLock.enter();
    Slot& master = *slot.master;
    master.slotLock.enter();
    if (!abortRaised(pos)) {
        for (Slot* w : master.splitWorkers)
            if (w && w != &slot) abortSubtree(*w);
    }
    master.slotLock.leave();
    workerLock.leave();
}

void leaveSplitMoves(SplitPoint& sp, Slot& slot) {
    --sp.workerCount;
    if (sp.cutoff || sp.workerCount != 0 || abortRaised(slot.position)) return;
    // The last participant: every move has been searched without a fail high.
    Position& pos = slot.position;
    const uint64_t key = pos.state->key;
    const uint8_t generation = pos.state->ttGeneration;
    if (sp.nodeKind == SplitCut || sp.nodeKind == SplitShallow) {
        storeUpperFlags(key, sp.depth, sp.bestValue, 0, generation);
    } else if (sp.nodeKind == SplitAll) {
        storeUpper(key, sp.depth, sp.bestValue, generation);
    } else if (sp.alphaMove == 0) {
        storeUpperFlags(key, sp.depth, sp.bestValue, 0, generation);
    } else {
        const Move move = Move(sp.alphaMove);
        storeExact(key, move, sp.depth, sp.bestValue, TTExact, generation);
        const bool captures = pos.board[moveTo(move)] != NoPiece;
        if (plainQuiet(move, captures)) historyBonus(pos, move, sp.depth);
    }
}

// A zero-window child of a PV node: the all-node family above the shallow range, the
// shallow family within it, quiescence below.
template <Side Us>
static int zeroWindowChild(Position& pos, int beta, int depth, bool inCheck) {
    if (depth > ShallowMaxDepth)
        return inCheck ? allNodeSearchInCheck<Us>(pos, beta, depth) : allNodeSearch<Us>(pos, beta, depth);
    if (depth > 1)
        return inCheck ? shallowSearchInCheck<Us>(pos, beta, depth) : shallowSearch<Us>(pos, beta, depth);
    return inCheck ? quiesceInCheck<Us>(pos, beta, 0) : quiesce<Us>(pos, beta, 0);
}

// A move a participant takes from the split point: the picker stage it came from, its
// number in the node's count of moves, and the split point's alpha when it was taken.
struct SplitMove {
    MoveEntry entry;
    int stage;
    int i;
    int alpha;
};

// Takes the split point's next move; false once a participant has failed high or no move is
// left.
template <Side Us>
static bool takeSplitMove(Position& pos, SplitPoint& sp, SplitMove& next) {
    sp.splitLock.enter();
    bool taken = false;
    if (!sp.cutoff) {
        const MoveEntry entry = nextMove<Us>(pos, *sp.picker);
        if (entry) {
            next = {entry, sp.picker->stage, sp.moveCount++, sp.alpha};
            taken = true;
        } else {
            sp.picker->stage = StageExhausted;
        }
    }
    sp.splitLock.leave();
    return taken;
}

// One participant's loop over the moves of a PV-kind split point.
template <Side Us>
static void searchSplitPVMoves(Slot& slot) {
    constexpr Side Them = opposite(Us);

    Position& pos = slot.position;
    SplitPoint& sp = *slot.splitPoint;
    // Fixed while the split point is in use.
    const int depth = sp.depth, beta = sp.beta;
    const int eval = pos.state->evalScore;
    const Move hashMove = Move(sp.picker->ttMove);
    const uint64_t key = pos.state->key;
    const uint8_t generation = pos.state->ttGeneration;

    for (SplitMove next; takeSplitMove<Us>(pos, sp, next);) {
        const MoveEntry entry = next.entry;
        const int stage = next.stage, i = next.i, alpha = next.alpha;
        const Move move = entryMove(entry);
        const bool capture = isCapture<Us>(pos, move);
        // Taking back our own previous move gains nothing over the position two plies up.
        if (alpha >= 1 && pos.state->rule50 >= 2 && !capture && undoesPreviousMove(pos, move)) continue;
        const PVMoveFacts facts = pvMoveFacts<Us>(pos, entry, move, capture);
        if (!makeLegalMove<Us>(pos, move, EvalFullLow, EvalFullHigh)) continue;
        const bool check = givesCheck<Us>(pos);
        const bool captures = pos.state->capturedPiece != 0;

        int extension = pvExtension(*pos.state, facts, check, false);
        if (move == hashMove) extension = std::max(extension, sp.hashExtension);
        const int reduction =
            pvReduction(extension, i, stage, beta - alpha, depth, pos.state->evalScore, eval);
        const int newDepth = depth + extension - reduction - 2;

        int v;
        if (evalHashShortcut(pos, depth)) {
            v = -pos.state->evalScore;
        } else if (newDepth <= 1) {
            v = -PVsearch<Them>(pos, -beta, -alpha, newDepth, check);
        } else {
            v = -zeroWindowChild<Them>(pos, -alpha, newDepth, check);
            if (v > alpha && !cutoffSeen(sp) && !abortRaised(pos))
                v = -PVsearch<Them>(pos, -beta, -alpha, newDepth + reduction, check);
        }
        // An aborted search returns a meaningless 0: it neither raises alpha nor is stored.
        if (v > alpha && !abortRaised(pos)) {
            sp.splitLock.enter();
            if (!sp.cutoff && v > sp.alpha) {
                std::atomic_ref<int32_t>(sp.alpha).store(v, std::memory_order_relaxed);
                sp.bestValue = v;
                sp.alphaMove = move;
            }
            sp.splitLock.leave();
            storeLowerFlags(key, move, depth, v, 0, generation);
        }
        unmakeMove<Us>(pos, move);
        if (abortRaised(pos)) return;

        if (v >= beta) {
            splitCutoff(sp, slot, move);
            return;
        }
        if (plainQuiet(move, captures) && eval > runningAlpha(sp) - tuning.HistoryPenaltyMargin)
            historyPenalty(pos, move, depth);
    }
}

// A shallow split node's fail-soft best score rises to the value.
static void raiseSplitBest(SplitPoint& sp, int value) {
    sp.splitLock.enter();
    if (!sp.cutoff && value > sp.bestValue) sp.bestValue = value;
    sp.splitLock.leave();
}

// One participant's loop over the moves of a cut-kind, all-kind or shallow split point:
// every move is searched as the node's own loop would search it, with the move count it
// would have. A shallow node's best score gathers the values of its moves, and a move that
// takes back our previous one counts as a draw there.
template <Side Us, SplitKind Kind>
static void searchSplitZeroWindowMoves(Slot& slot) {
    Position& pos = slot.position;
    SplitPoint& sp = *slot.splitPoint;
    // Fixed while the split point is in use.
    const ZeroWindowFrame frame = *sp.frame;
    const int depth = sp.depth, beta = sp.beta;

    for (SplitMove next; takeSplitMove<Us>(pos, sp, next);) {
        const MoveEntry entry = next.entry;
        int v;
        bool quiet;
        const MoveStep step = splitZeroWindowMove<Us, Kind>(pos, frame, entry, next.stage, next.i, v, quiet);
        if (Kind == SplitShallow && step == MoveStep::SkippedAsDraw) raiseSplitBest(sp, DrawValue);
        if (step != MoveStep::Searched) continue;
        if (abortRaised(pos)) return;

        const Move move = entryMove(entry);
        if (v >= beta) {
            splitCutoff(sp, slot, move);
            return;
        }
        if (Kind == SplitShallow) raiseSplitBest(sp, v);
        if (quiet && frame.eval > beta - tuning.HistoryPenaltyMargin) historyPenalty(pos, move, depth);
    }
}

template <Side Us>
void searchSplitPV(Slot& slot) {
    searchSplitPVMoves<Us>(slot);
}
template <Side Us>
void searchSplitCut(Slot& slot) {
    searchSplitZeroWindowMoves<Us, SplitCut>(slot);
}
template <Side Us>
void searchSplitAll(Slot& slot) {
    searchSplitZeroWindowMoves<Us, SplitAll>(slot);
}
template <Side Us>
void searchSplitShallow(Slot& slot) {
    searchSplitZeroWindowMoves<Us, SplitShallow>(slot);
}

template void searchSplitPV<White>(Slot&);
template void searchSplitPV<Black>(Slot&);
template void searchSplitCut<White>(Slot&);
template void searchSplitCut<Black>(Slot&);
template void searchSplitAll<White>(Slot&);
template void searchSplitAll<Black>(Slot&);
template void searchSplitShallow<White>(Slot&);
template void searchSplitShallow<Black>(Slot&);

// Runs the participant search of the split point's kind for the side to move.
static void searchAssignedSlot(Slot& slot) {
    const bool white = slot.position.sideToMove == White;
    switch (slot.splitPoint->nodeKind) {
        case SplitPV:
            white ? searchSplitPV<White>(slot) : searchSplitPV<Black>(slot);
            break;
        case SplitCut:
            white ? searchSplitCut<White>(slot) : searchSplitCut<Black>(slot);
            break;
        case SplitAll:
            white ? searchSplitAll<White>(slot) : searchSplitAll<Black>(slot);
            break;
        default:
            white ? searchSplitShallow<White>(slot) : searchSplitShallow<Black>(slot);
            break;
    }
}

// Whether an idle thread has something to do: a slot to search, its split point finished
// (for an owner), or the request to end.
static bool idleThreadCalled(int thread, const Slot* owner) {
    return threadPosition[thread].load(std::memory_order_relaxed) || exitRequest[thread].load() ||
           (owner && owner->splitWorkerCount.load(std::memory_order_relaxed) == 0);
}

// Watches for work for up to idleWatchMicros before the thread sleeps on its event. Waking a
// sleeping thread takes tens of microseconds, a thread that watches sees its slot within one;
// that lets the search split nodes whose subtrees take only a few milliseconds.
static void watchForWork(int thread, const Slot* owner) {
    const int micros = idleWatchMicros.load(std::memory_order_relaxed);
    if (micros <= 0) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(micros);
    do {
        for (int i = 0; i < 64; ++i) {
            if (idleThreadCalled(thread, owner)) return;
            _mm_pause();
        }
    } while (std::chrono::steady_clock::now() < until);
}

void idleLoop(int thread, Slot* owner) {
    const uint64_t bit = uint64_t(1) << thread;
    for (;;) {
        workerLock.enter();
        idleMask |= bit;
        workerLock.leave();

        while (threadPosition[thread].load() == nullptr) {
            if (owner && owner->splitWorkerCount.load() == 0) break;
            watchForWork(thread, owner);
            // The event may still be set by a signal the watch has answered: the loop then
            // looks again and waits once more.
            if (!idleThreadCalled(thread, owner)) workerEvent[thread].wait();
            if (exitRequest[thread]) {
                workerLock.enter();
                idleMask &= ~bit;
                workerLock.leave();
                return;
            }
        }

        workerLock.enter();
        idleMask &= ~bit;
        Slot* const slot = threadPosition[thread].load();
        if (!slot) {
            if (owner && owner->splitWorkerCount.load() == 0) {
                threadPosition[thread] = owner;
                workerLock.leave();
                return;
            }
            workerLock.leave();
            continue;
        }
        workerLock.leave();

        SplitPoint& sp = *slot->splitPoint;
        sp.splitLock.enter();
        ++sp.workerCount;
        sp.splitLock.leave();
        searchAssignedSlot(*slot);
        sp.splitLock.enter();
        leaveSplitMoves(sp, *slot);
        sp.splitLock.leave();

        workerLock.enter();
        sp.splitLock.enter();
        const Move nodeBest = sp.bestValue >= sp.beta ? Move(sp.cutoffMove) : NoMove;
        sp.splitLock.leave();
        Slot& master = *slot->master;
        master.slotLock.enter();
        // The split node leaves its refutation where a node leaves its best move.
        bestMoveSlot(master.position) = nodeBest;
        if (--master.splitWorkerCount == 0) workerEvent[master.threadIndex].signal();
        master.splitWorkers[thread] = nullptr;
        master.slotLock.leave();
        threadPosition[thread] = nullptr;
        slot->active = 0;
        workerLock.leave();
    }
}
