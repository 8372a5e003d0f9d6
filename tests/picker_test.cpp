#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "movegen/picker.h"
#include "search_harness.h"
#include "test_positions.h"

namespace {

struct Picked {
    Move move;
    int stage;  // the picker's stage right after handing it out
};

MovePicker& freshPicker(int stage, Move ttMove) {
    static MovePicker picker;
    picker.stage = stage;
    picker.ttMove = ttMove;
    picker.gainThreshold = 0;
    picker.badCount = 0;
    picker.cursor = 0;
    picker.spare = 0;
    picker.targets = 0;
    return picker;
}

std::vector<Picked> drain(Position& pos, MovePicker& picker) {
    std::vector<Picked> out;
    for (int guard = 0; guard < 1000; ++guard) {
        const MoveEntry e =
            pos.sideToMove == White ? nextMove<White>(pos, picker) : nextMove<Black>(pos, picker);
        if (!e) break;
        out.push_back({entryMove(e), picker.stage});
    }
    // Once exhausted the picker keeps saying so.
    const MoveEntry again =
        pos.sideToMove == White ? nextMove<White>(pos, picker) : nextMove<Black>(pos, picker);
    EXPECT_EQ(again, 0u);
    return out;
}

int indexOf(const std::vector<Picked>& moves, Move m) {
    for (size_t i = 0; i < moves.size(); ++i)
        if (moves[i].move == m) return int(i);
    return -1;
}

int countOf(const std::vector<Picked>& moves, Move m) {
    return int(std::count_if(moves.begin(), moves.end(), [&](const Picked& p) { return p.move == m; }));
}

std::multiset<Move> pseudoLegalMoves(Position& pos) {
    MoveEntry list[MaxMoves];
    MoveEntry* end = generateCapturesAny(pos, list, ~Bitboard(0));
    end = generateQuietsAny(pos, end);
    std::multiset<Move> out;
    for (MoveEntry* e = list; e < end; ++e) out.insert(entryMove(*e));
    return out;
}

}  // namespace

// The normal sequence hands out every generated move exactly once, whatever is empty.
TEST(Picker, NormalSequenceHandsOutEveryMoveOnce) {
    const char* fens[] = {
        StartFen,  // no captures at all
        Kiwipete, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1",
        "N2k4/2p5/1p6/2b5/8/6pp/6PP/7K w - - 0 1",  // no quiet move, two losing captures
    };
    for (const char* fen : fens) {
        Position& pos = setUpFen(fen);
        const std::vector<Picked> picked = drain(pos, freshPicker(StageHashMove, NoMove));
        std::multiset<Move> got;
        for (const Picked& p : picked) got.insert(p.move);
        EXPECT_EQ(got, pseudoLegalMoves(pos)) << fen;
    }
}

TEST(Picker, EmptyQuietStageMovesOnToLosingCaptures) {
    Position& pos = setUpFen("N2k4/2p5/1p6/2b5/8/6pp/6PP/7K w - - 0 1");
    const std::vector<Picked> picked = drain(pos, freshPicker(StageHashMove, NoMove));
    ASSERT_EQ(picked.size(), 4u);
    // The pawn trades come first; the knight takes defended pawns only at the end.
    EXPECT_EQ(picked[0].stage, StageGoodCaptures);
    EXPECT_EQ(picked[1].stage, StageGoodCaptures);
    EXPECT_EQ(picked[2].stage, StageBadCaptures);
    EXPECT_EQ(picked[3].stage, StageBadCaptures);
    EXPECT_EQ(moveFrom(picked[2].move), A8);
    EXPECT_EQ(moveFrom(picked[3].move), A8);
}

TEST(Picker, HashMoveCaptureComesFirstAndOnlyOnce) {
    Position& pos = setUpFen(Kiwipete);
    const Move hash = textMove(pos, "e5f7");  // a capture
    const std::vector<Picked> picked = drain(pos, freshPicker(StageHashMove, hash));
    ASSERT_FALSE(picked.empty());
    EXPECT_EQ(picked[0].move, hash);
    EXPECT_EQ(countOf(picked, hash), 1);
}

TEST(Picker, KillersComeAfterGoodCapturesOnceAndNeverTwice) {
    Position& pos = setUpFen(Kiwipete);
    const Move hash = textMove(pos, "a2a3");
    const Move killer = textMove(pos, "e1g1");
    // killer1 equal to the hash move, killer2 a legal quiet move.
    pos.state->killer1 = hash;
    pos.state->killer2 = killer;
    std::vector<Picked> picked = drain(pos, freshPicker(StageHashMove, hash));
    EXPECT_EQ(picked[0].move, hash);
    EXPECT_EQ(countOf(picked, hash), 1);
    EXPECT_EQ(countOf(picked, killer), 1);
    EXPECT_EQ(picked[indexOf(picked, killer)].stage, StageGenerateQuiets);  // handed out by the killer stage

    // A killer onto an occupied square is not offered as a killer (it is a capture here).
    const Move capture = textMove(pos, "f3f6");
    pos.state->killer1 = capture;
    pos.state->killer2 = NoMove;
    picked = drain(pos, freshPicker(StageHashMove, NoMove));
    EXPECT_EQ(countOf(picked, capture), 1);
    EXPECT_NE(picked[indexOf(picked, capture)].stage, StageKiller2);
    pos.state->killer1 = pos.state->killer2 = NoMove;
}

TEST(Picker, LosingCaptureComesAfterEveryQuietMove) {
    // The queen can take a pawn defended by a pawn.
    Position& pos = setUpFen("4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1");
    const Move loser = textMove(pos, "d2d5");
    const std::vector<Picked> picked = drain(pos, freshPicker(StageHashMove, NoMove));
    const int at = indexOf(picked, loser);
    ASSERT_GE(at, 0);
    EXPECT_EQ(picked[at].stage, StageBadCaptures);
    for (int i = 0; i < at; ++i) EXPECT_NE(picked[i].stage, StageBadCaptures);
    for (size_t i = at + 1; i < picked.size(); ++i) EXPECT_EQ(picked[i].stage, StageBadCaptures);
}

// The tactical sequence: captures on the targets, then quiet checks that avoid them, so a
// checking capture is never handed out twice. (A quiet knight move that checks both
// directly and by discovery does come twice from the check generator.)
TEST(Picker, TacticalSequenceReturnsEachCaptureOnce) {
    // The knight on e4 shields the rook's check; its captures give discovered check.
    Position& pos = setUpFen("4k3/8/8/2p5/4N3/2p3p1/8/4RK2 w - - 0 1");
    for (const Bitboard targets : {pos.pieces[BlackMen], pos.pieces[BlackMen] & ~SquareBB[C3]}) {
        MovePicker& picker = freshPicker(StageTacticalHashMove, NoMove);
        picker.targets = targets;
        const std::vector<Picked> picked = drain(pos, picker);
        std::set<Move> seen;
        for (const Picked& p : picked) {
            if (pos.board[moveTo(p.move)]) {
                EXPECT_TRUE(seen.insert(p.move).second);
            }
        }
        for (const char* text : {"e4c3", "e4g3", "e4c5"})
            EXPECT_EQ(countOf(picked, textMove(pos, text)), 1) << text;
        const int c3 = indexOf(picked, textMove(pos, "e4c3"));
        EXPECT_EQ(picked[c3].stage, (targets & SquareBB[C3]) ? StageTargetCaptures : StageQuietChecks);
    }
}

TEST(Picker, SortQuietsRemovesThreeMovesAndKeepsTiesStable) {
    const Move a = encodeMove(E2, E4), b = encodeMove(D2, D4), c = encodeMove(G1, F3), d = encodeMove(B1, C3),
               e = encodeMove(A2, A3), f = encodeMove(H2, H3);
    MoveEntry list[8] = {
        0x00100000u | a, 0x00300000u | b, 0x00200000u | c, 0x00300000u | d, 0x00100000u | e, 0x00500000u | f,
    };
    // Remove b (in the middle), f (the largest) and a (the first).
    sortQuiets(list, list + 6, b, f, a);
    const MoveEntry expected[] = {0x00300000u | d, 0x00200000u | c, 0x00100000u | e, 0, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(list[i], expected[i]) << i;

    // Trailing entries that are removed, and equal keys in their original order.
    MoveEntry list2[8] = {0x00200000u | a, 0x00200000u | b, 0x00400000u | c, 0x00200000u | d,
                          0x00900000u | e};
    sortQuiets(list2, list2 + 5, e, NoMove, NoMove);
    const MoveEntry expected2[] = {0x00400000u | c, 0x00200000u | a, 0x00200000u | b, 0x00200000u | d, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(list2[i], expected2[i]) << i;
}

// The tactical sequences ask for quiet checks against a king deep in our half: no pawn
// push can arrive on our own first rank.
TEST(Picker, QuietChecksAgainstKingOnOurSecondRank) {
    for (const char* fen : {"8/8/8/8/8/8/3k4/K7 w - - 0 1", "k7/3K4/8/8/8/8/8/8 b - - 0 1"}) {
        Position& pos = setUpFen(fen);
        MovePicker& picker = freshPicker(StageTacticalHashMove, NoMove);
        picker.targets = pos.pieces[pos.sideToMove == White ? BlackMen : WhiteMen];
        for (const Picked& p : drain(pos, picker)) {
            EXPECT_TRUE(pos.pieces[pos.sideToMove == White ? WhiteMen : BlackMen] &
                        SquareBB[moveFrom(p.move)]);
        }
    }
}

// The hash move comes first and never again, in the tactical and quiescence sequences too,
// whose quiet checks and positional moves may hold it.
TEST(Picker, HashMoveIsHandedOutOnce) {
    Position& pos = setUpFen("4k3/8/8/8/8/8/1P6/R3K3 w - - 0 1");
    const Move check = textMove(pos, "a1a8");
    for (const int stage : {int(StageHashMove), int(StageTacticalHashMove), int(StageQuiescenceHashMove)}) {
        MovePicker& picker = freshPicker(stage, check);
        picker.targets = pos.pieces[BlackMen];
        picker.gainThreshold = -1000;
        const std::vector<Picked> picked = drain(pos, picker);
        ASSERT_FALSE(picked.empty()) << stage;
        EXPECT_EQ(picked[0].move, check) << stage;
        EXPECT_EQ(countOf(picked, check), 1) << stage;
    }
}
