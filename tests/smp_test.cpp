// The parallel search: split points searched by one thread through the real participant
// searches, the cutoff that stops the other participants, the store of the last one, and
// whole searches on several threads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine_process.h"
#include "movegen/picker.h"
#include "search/driver.h"
#include "search/heuristics.h"
#include "search/node.h"
#include "search/search.h"
#include "search_harness.h"
#include "shell/benchpositions.h"
#include "shell/engine.h"
#include "shell/options.h"
#include "smp/threads.h"
#include "test_positions.h"

namespace {

// The thread records without running threads: every slot free and not aborted, thread 0
// searching its first slot, no split point in use.
void resetThreadRecords(int threads) {
    static const bool created = [] {
        createWorkerRecords();
        return true;
    }();
    (void)created;
    threadCount = threads;
    for (int t = 0; t < MaxThreads; ++t) {
        threadPosition[t] = nullptr;
        for (Slot& slot : slots[t]) {
            slot.active = 0;
            setAbort(slot.position, false);
            slot.splitWorkerCount = 0;
            slot.master = nullptr;
            slot.splitPoint = nullptr;
            for (Slot*& w : slot.splitWorkers) w = nullptr;
        }
    }
    for (int i = 0; i < MaxSplitPoints; ++i) splitPoints[i].inUse = 0;
    idleMask = 0;
    slots[0][0].active = 1;
    threadPosition[0] = &slots[0][0];
}

// Thread 0's first slot holds the position, set up as a search starts it, with empty tables.
Slot& ownerAt(const char* fen) {
    clearSearchTables();
    Position& root = setUpFen(fen);
    resetThreadRecords(2);
    Slot& owner = slots[0][0];
    copySearchPosition(owner.position, root);
    return owner;
}

// A node's picker past its hash move, as a node offers it at a split.
MovePicker pickerFor(const Position& pos) {
    MovePicker picker{};
    picker.stage = StageGenerateCaptures;
    picker.targets = pos.pieces[menOf(opposite(pos.sideToMove))];
    return picker;
}

// The entry of the transposition table that holds the key, or nullptr.
const TTEntry* entryOf(uint64_t key) {
    const TTEntry* cluster = ttCluster(key);
    for (int k = 0; k < 4; ++k)
        if (cluster[k].check == ttCheck(key)) return &cluster[k];
    return nullptr;
}

// What a zero-window node without hash move has decided before its moves.
template <Side Us>
ZeroWindowFrame frameOf(const Position& pos, int beta, int depth) {
    const StateRecord& st = *pos.state;
    return {beta,
            depth,
            st.evalScore,
            NoMove,
            NoMove,
            0,
            xrayBlockersOf<Us>(st),
            moveTo(st.lastMove),
            st.capturedPiece != 0,
            hasPieces<Us>(pos)};
}

// Splits with thread 0 alone taking part: thread 1 is idle but has no free slot.
bool soloSplit(Slot& owner, MovePicker& picker, int depth, int alpha, int beta, SplitKind kind, int& result) {
    for (Slot& slot : slots[1]) slot.active = 1;
    const Position& pos = owner.position;
    const ZeroWindowFrame frame =
        pos.sideToMove == White ? frameOf<White>(pos, beta, depth) : frameOf<Black>(pos, beta, depth);
    const bool done = split(owner.position, picker, depth, alpha, beta, kind, result, &frame, 1);
    for (Slot& slot : slots[1]) slot.active = 0;
    return done;
}

// After a fail high with the move: the node's best move is the refutation, and the table
// holds it with a lower bound of score at depth, with the cut-node mark or without.
void expectRefutationStored(Position& pos, uint64_t key, Move move, int score, int depth, bool cutMark) {
    EXPECT_EQ(bestMoveSlot(pos), move);
    const TTEntry* e = entryOf(key);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->move, move);
    EXPECT_EQ((e->flags & TTCutLower) != 0, cutMark);
    EXPECT_EQ(e->lowerScore, score);
    EXPECT_EQ(e->lowerDepth, depth);
}

// After a split the records are as before it: thread 0 back on its slot, every other slot and
// every split point free, nobody idle.
void expectRecordsReleased(Slot& owner) {
    EXPECT_EQ(threadPosition[0].load(), &owner);
    EXPECT_EQ(owner.splitWorkerCount.load(), 0);
    for (Slot* w : owner.splitWorkers) {
        EXPECT_EQ(w, nullptr);
    }
    for (int t = 0; t < MaxThreads; ++t) {
        for (Slot& slot : slots[t]) {
            if (&slot != &owner) {
                EXPECT_FALSE(slot.active) << int(slot.threadIndex) << "/" << int(slot.slotIndex);
            }
        }
    }
    for (int i = 0; i < MaxSplitPoints; ++i) EXPECT_FALSE(splitPoints[i].inUse);
    EXPECT_EQ(idleMask.load(), 0u);
}

// ---- whole searches on the real threads ----

struct Outcome {
    Move move;
    int score;
    uint64_t nodes;
};

// The engine in this process with the given number of search threads, as if the machine had
// that many processors.
void startThreads(int threads) {
    static const bool started = [] {
        startUp();
        setOption("Hash value 16");
        return true;
    }();
    (void)started;
    processorCountOverride = threads;
    optionThreads = threads;
    ASSERT_EQ(startWorkers(0), threads);
}

// A search to the depth in plies, on empty tables.
Outcome searchFen(const char* fen, int depth) {
    const BenchSearch search = benchSearch(fen, depth);
    return {bestMove, bestScore, search.nodes};
}

bool isLegal(const char* fen, Move move) {
    const std::vector<Move> moves = legalMoves(setUp(fen));
    return std::find(moves.begin(), moves.end(), move) != moves.end();
}

}  // namespace

TEST(SplitPoints, AllSixteenInUseLeaveTheNodeAlone) {
    Slot& owner = ownerAt(Middlegame);
    for (int i = 0; i < MaxSplitPoints; ++i) splitPoints[i].inUse = 1;
    EXPECT_EQ(allocateSplitPoint(), nullptr);

    // Thread 1 is idle, but there is no split point to share the node with.
    MovePicker picker = pickerFor(owner.position);
    const uint64_t before = splitsDone;
    int result = 12345;
    EXPECT_FALSE(split(owner.position, picker, 16, -20, 20, SplitPV, result, nullptr, 1));
    EXPECT_EQ(result, 12345);
    EXPECT_EQ(splitsDone, before);
    EXPECT_EQ(threadPosition[0].load(), &owner);
    EXPECT_EQ(threadPosition[1].load(), nullptr);
    for (Slot& slot : slots[1]) EXPECT_FALSE(slot.active);
    EXPECT_EQ(picker.stage, StageGenerateCaptures);

    splitPoints[5].inUse = 0;
    EXPECT_EQ(allocateSplitPoint(), &splitPoints[5]);
}

TEST(SplitPoints, NoSplitWithoutAnIdleThreadOrWhenAborted) {
    Slot& owner = ownerAt(Middlegame);
    MovePicker picker = pickerFor(owner.position);
    int result = 0;

    // Thread 1 searches a slot of its own: nobody is idle.
    threadPosition[1] = &slots[1][0];
    EXPECT_FALSE(split(owner.position, picker, 16, -20, 20, SplitPV, result, nullptr, 1));
    threadPosition[1] = nullptr;

    setAbort(owner.position, true);
    EXPECT_FALSE(split(owner.position, picker, 16, -20, 20, SplitPV, result, nullptr, 1));
    setAbort(owner.position, false);

    // A position that is no slot never splits.
    EXPECT_FALSE(split(setUpFen(Middlegame), picker, 16, -20, 20, SplitPV, result, nullptr, 1));
    EXPECT_EQ(threadPosition[0].load(), &owner);
    for (int i = 0; i < MaxSplitPoints; ++i) EXPECT_FALSE(splitPoints[i].inUse);
}

TEST(SplitPoints, CutNodeSplitFailsHighWithTheRefutation) {
    Slot& owner = ownerAt(QueenHangs);
    MovePicker picker = pickerFor(owner.position);
    const Move capture = textMove(owner.position, "d2d5");
    const uint64_t key = owner.position.state->key;
    const uint64_t before = splitsDone;
    int result = 0;
    ASSERT_TRUE(soloSplit(owner, picker, 12, 100, 100, SplitCut, result));
    EXPECT_EQ(splitsDone, before + 1);
    EXPECT_EQ(result, 100);  // the split point fails high at beta
    expectRefutationStored(owner.position, key, capture, 100, 12, true);
    expectRecordsReleased(owner);
}

TEST(SplitPoints, AllNodeSplitFailsLowAndTheLastParticipantStores) {
    Slot& owner = ownerAt(StartFen);
    MovePicker picker = pickerFor(owner.position);
    const uint64_t key = owner.position.state->key;
    int result = 0;
    ASSERT_TRUE(soloSplit(owner, picker, 12, 2000, 2000, SplitAll, result));
    EXPECT_EQ(result, 1999);
    EXPECT_EQ(picker.stage, StageExhausted);
    EXPECT_EQ(bestMoveSlot(owner.position), NoMove);
    const TTEntry* e = entryOf(key);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->flags & TTAllUpper);
    EXPECT_EQ(e->upperScore, 1999);
    EXPECT_EQ(e->upperDepth, 12);
    expectRecordsReleased(owner);
}

// A shallow node splits with its fail-soft best so far: the participants raise it with the
// values of their moves, or fail high at beta without the cut-node mark.
TEST(SplitPoints, ShallowSplitKeepsItsBestScoreOrFailsHigh) {
    Slot& owner = ownerAt(StartFen);
    MovePicker picker = pickerFor(owner.position);
    uint64_t key = owner.position.state->key;
    int result = 0;
    ASSERT_TRUE(soloSplit(owner, picker, 6, -500, 300, SplitShallow, result));
    EXPECT_GT(result, -500);
    EXPECT_LT(result, 300);
    EXPECT_EQ(bestMoveSlot(owner.position), NoMove);
    const TTEntry* e = entryOf(key);
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->flags & TTAllUpper);
    EXPECT_EQ(e->upperScore, result);
    EXPECT_EQ(e->upperDepth, 6);
    expectRecordsReleased(owner);

    Slot& hanging = ownerAt(QueenHangs);
    picker = pickerFor(hanging.position);
    const Move capture = textMove(hanging.position, "d2d5");
    key = hanging.position.state->key;
    ASSERT_TRUE(soloSplit(hanging, picker, 6, 0, 100, SplitShallow, result));
    EXPECT_EQ(result, 100);
    expectRefutationStored(hanging.position, key, capture, 100, 6, false);
    expectRecordsReleased(hanging);
}

TEST(SplitPoints, PVSplitRaisesAlphaAndStoresTheExactResult) {
    Slot& owner = ownerAt(QueenHangs);
    MovePicker picker = pickerFor(owner.position);
    const Move capture = textMove(owner.position, "d2d5");
    const uint64_t key = owner.position.state->key;
    int result = 0;
    ASSERT_TRUE(soloSplit(owner, picker, 12, -100, 29000, SplitPV, result));
    EXPECT_GT(result, 300);
    EXPECT_LT(result, 29000);
    const TTEntry* e = entryOf(key);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->flags & TTExact);
    EXPECT_EQ(e->move, capture);
    EXPECT_EQ(e->lowerScore, result);
    EXPECT_EQ(probePV(key), capture);
    expectRecordsReleased(owner);
}

TEST(SplitPoints, CutoffStopsTheOtherParticipantsAndEverythingBelowThem) {
    Slot& owner = ownerAt(Middlegame);
    Position& node = owner.position;
    SplitPoint& sp = splitPoints[0];
    sp.inUse = 1;
    sp.alpha = sp.beta = 40;
    sp.depth = 14;
    sp.nodeKind = SplitCut;
    sp.bestValue = 39;
    sp.cutoff = 0;
    sp.cutoffMove = 0;

    // Three participants at the split point; the second one owns a split below it, and one of
    // that split's participants owns yet another. Thread 4's slot works elsewhere.
    Slot& finder = slots[0][1];
    Slot& second = slots[1][0];
    Slot& third = slots[2][0];
    Slot& below = slots[1][1];
    Slot& further = slots[3][0];
    Slot& elsewhere = slots[4][0];
    for (Slot* s : {&finder, &second, &third}) {
        copySearchPosition(s->position, node);
        s->master = &owner;
        s->splitPoint = &sp;
        owner.splitWorkers[s->threadIndex] = s;
    }
    second.splitWorkers[1] = &below;
    below.splitWorkers[3] = &further;

    const Move quiet = textMove(node, "a2a3");
    const uint16_t historyBefore = historyOf(node, quiet);
    splitCutoff(sp, finder, quiet);

    EXPECT_TRUE(sp.cutoff);
    EXPECT_EQ(sp.cutoffMove, quiet);
    EXPECT_EQ(sp.bestValue, 40);
    for (Slot* s : {&second, &third, &below, &further}) EXPECT_TRUE(abortRaised(s->position));
    for (Slot* s : {&finder, &owner, &elsewhere}) EXPECT_FALSE(abortRaised(s->position));
    EXPECT_GT(historyOf(node, quiet), historyBefore);
    const TTEntry* e = entryOf(node.state->key);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->move, quiet);
    EXPECT_TRUE(e->flags & TTCutLower);
    EXPECT_EQ(e->lowerScore, 40);

    // A later fail high of an aborted participant changes nothing.
    splitCutoff(sp, third, textMove(node, "h2h3"));
    EXPECT_EQ(sp.cutoffMove, quiet);

    // An aborted participant records no cutoff at all.
    sp.cutoff = 0;
    sp.bestValue = 39;
    sp.cutoffMove = 0;
    splitCutoff(sp, second, textMove(node, "h2h3"));
    EXPECT_FALSE(sp.cutoff);
    EXPECT_EQ(sp.bestValue, 39);
    sp.inUse = 0;
}

TEST(SplitPoints, OnlyTheLastParticipantStoresAnUninterruptedResult) {
    Slot& owner = ownerAt(Middlegame);
    Position& node = owner.position;
    const uint64_t key = node.state->key;
    Slot& first = slots[0][1];
    Slot& last = slots[1][0];
    for (Slot* s : {&first, &last}) copySearchPosition(s->position, node);
    SplitPoint& sp = splitPoints[0];
    auto start = [&](SplitKind kind) {
        clearHash();
        sp.alpha = 30;
        sp.beta = kind == SplitPV ? 90 : 30;
        sp.depth = 16;
        sp.nodeKind = kind;
        sp.bestValue = kind == SplitPV ? 30 : 29;
        sp.cutoff = 0;
        sp.alphaMove = 0;
        sp.workerCount = 2;
        setAbort(last.position, false);
    };

    start(SplitAll);
    leaveSplitMoves(sp, first);
    EXPECT_EQ(entryOf(key), nullptr);  // another participant is still searching
    leaveSplitMoves(sp, last);
    const TTEntry* e = entryOf(key);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->flags & (TTAllUpper | TTUpper), TTAllUpper | TTUpper);
    EXPECT_EQ(e->upperScore, 29);
    EXPECT_EQ(e->upperDepth, 16);

    start(SplitCut);
    leaveSplitMoves(sp, first);
    leaveSplitMoves(sp, last);
    e = entryOf(key);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->flags & (TTAllUpper | TTUpper), TTUpper);

    start(SplitCut);
    sp.cutoff = 1;  // the fail high was stored by its finder
    leaveSplitMoves(sp, first);
    leaveSplitMoves(sp, last);
    EXPECT_EQ(entryOf(key), nullptr);

    start(SplitAll);
    setAbort(last.position, true);  // stopped from above: the result is incomplete
    leaveSplitMoves(sp, first);
    leaveSplitMoves(sp, last);
    EXPECT_EQ(entryOf(key), nullptr);

    // A PV split point whose alpha was raised by a quiet move: an exact entry, and the move's
    // history counter goes up.
    start(SplitPV);
    const Move quiet = textMove(node, "a2a3");
    sp.alphaMove = quiet;
    sp.bestValue = 55;
    const uint16_t historyBefore = historyOf(node, quiet);
    leaveSplitMoves(sp, first);
    leaveSplitMoves(sp, last);
    e = entryOf(key);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->flags & TTExact);
    EXPECT_EQ(e->move, quiet);
    EXPECT_EQ(e->lowerScore, 55);
    EXPECT_EQ(probePV(key), quiet);
    EXPECT_GT(historyOf(node, quiet), historyBefore);
}

TEST(ParallelSearch, OneThreadNeverSplits) {
    startThreads(1);
    const uint64_t before = splitsDone;
    const Outcome outcome = searchFen(Middlegame, 11);
    EXPECT_EQ(splitsDone, before);
    EXPECT_EQ(idleMask.load(), 0u);
    EXPECT_TRUE(isLegal(Middlegame, outcome.move));
}

TEST(ParallelSearch, SeveralThreadsShareTheWorkAtSplitPoints) {
    const Outcome alone = [] {
        startThreads(1);
        return searchFen(Middlegame, 11);
    }();
    for (int threads = 2; threads <= 4; ++threads) {
        startThreads(threads);
        // Idle threads watch for work only when each search thread has a processor: on a
        // machine with fewer, a watching thread would take one from a thread that searches.
        // Both ways must share the work.
        EXPECT_EQ(idleWatchMicros.load(), threads <= processorCount() ? IdleWatchMicros : 0)
            << threads << " threads";
        const uint64_t before = splitsDone;
        const Outcome outcome = searchFen(Middlegame, 11);
        EXPECT_GT(splitsDone, before) << threads << " threads";
        EXPECT_TRUE(isLegal(Middlegame, outcome.move)) << threads << " threads";
        EXPECT_LT(std::abs(outcome.score - alone.score), 150) << threads << " threads";
        EXPECT_GT(outcome.nodes, 0u);
        // Every participant has left: only the main search's slot is still marked.
        for (int i = 0; i < MaxSplitPoints; ++i) EXPECT_FALSE(splitPoints[i].inUse);
        for (int t = 1; t < threads; ++t) EXPECT_EQ(threadPosition[t].load(), nullptr);
    }
}

TEST(ParallelSearch, ManySearchesInARowOnFourThreads) {
    const char* const positions[] = {
        Middlegame,       TwoKnights, BlackMiddlegame,
        RookKnightEnding, Kiwipete,   "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    };
    startThreads(4);
    const uint64_t before = splitsDone;
    for (int round = 0; round < 5; ++round) {
        for (const char* fen : positions) {
            const Outcome outcome = searchFen(fen, 9 + round % 2);
            EXPECT_TRUE(isLegal(fen, outcome.move)) << fen;
        }
    }
    EXPECT_GT(splitsDone, before);
}

TEST(ParallelSearchProcess, StopEndsAnInfiniteSearchOnTwoThreadsAtOnce) {
    TwoThreadEngine engine;
    for (int round = 0; round < 8; ++round) {
        engine.send(std::string("position fen ") + Middlegame);
        engine.send("go infinite");
        std::this_thread::sleep_for(
            std::chrono::milliseconds((round == 0 ? 1500 : 100 + 40 * round) * SlowBuildFactor));
        const auto start = std::chrono::steady_clock::now();
        engine.send("stop");
        const auto best = engine.waitFor("bestmove", 3000 * SlowBuildFactor);
        ASSERT_TRUE(best) << "round " << round;
        EXPECT_LT(msSince(start), 1000 * SlowBuildFactor);
        engine.send("isready");
        ASSERT_TRUE(engine.waitFor("readyok", 2000 * SlowBuildFactor));
    }
}

TEST(ParallelSearchProcess, QuitDuringASearchOnTwoThreadsExitsCleanly) {
    TwoThreadEngine engine;
    engine.send(std::string("position fen ") + Middlegame);
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 * SlowBuildFactor));
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(3000 * SlowBuildFactor), 0);
}
