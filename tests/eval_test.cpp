#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "board/pst.h"
#include "eval_fixture.h"
#include "movegen/gaintable.h"
#include "shell/checkcommands.h"
#include "test_positions.h"

namespace {

class EvalTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildEvalTables();
        clearEvalHash();
        clearPawnHash();
        clearPositionalGains();
    }
    void TearDown() override { clearPositionalGains(); }

    static Position& evaluated(const std::string& fen) {
        Position& pos = setUp(fen);
        evaluateFresh(pos);
        return pos;
    }
    static Move play(Position& pos, const char* text) {
        const Move move = textMove(pos, text);
        makeMoveAny(pos, move);
        return move;
    }
};

Bitboard flip(Bitboard b) { return __builtin_bswap64(b); }

TEST_F(EvalTest, StartPositionIsSmallButNotZero) {
    const Position& pos = evaluated(StartFen);
    EXPECT_NE(pos.state->evalScore, 0);
    EXPECT_LE(std::abs(pos.state->evalScore), 30);
    EXPECT_EQ(pos.state->lazyCount, 0);
    EXPECT_EQ(pos.state->materialFlags, 0x03);
}

TEST_F(EvalTest, SecondCallIsAHashHit) {
    Position& pos = setUp(Middlegame);
    evaluate(pos, EvalFullLow, EvalFullHigh, NoMove);
    const int first = pos.state->evalScore, positional = pos.state->positionalScore;
    EXPECT_EQ(pos.state->lazyCount, 0);

    // Without its pawn entry the position could only be evaluated afresh by refilling it.
    clearPawnHash();
    pos.state->evalScore = 12345;
    evaluate(pos, EvalFullLow, EvalFullHigh, NoMove);
    EXPECT_EQ(pos.state->evalScore, first);
    EXPECT_EQ(pos.state->positionalScore, positional);
    EXPECT_EQ(pos.state->lazyCount, 0);
    EXPECT_EQ(pos.state->evalHashClass, 0);
    PawnHashEntry entry;
    readPawnEntry(pos.state->pawnKey, entry);
    EXPECT_NE(entry.lock, pos.state->pawnKey);
}

TEST_F(EvalTest, HashHitClasses) {
    // Stored score -> class: 0 (drawn) and beyond 19000 are 3, beyond 13000 is 1.
    const int cases[][2] = {{0, 3}, {13500, 1}, {-13500, 1}, {20000, 3}, {-20000, 3}, {13000, 0}, {19001, 3}};
    for (const auto& [stored, hashClass] : cases) {
        Position& pos = setUp(BlackMiddlegame);
        storeEvalHash(pos.state->key, stored);
        evaluate(pos, EvalFullLow, EvalFullHigh, NoMove);
        EXPECT_EQ(pos.state->evalHashClass, hashClass) << stored;
        EXPECT_EQ(pos.state->evalScore, stored);
        EXPECT_EQ(pos.state->positionalScore, whiteValue(pos) - positionMaterial(pos).value);
    }
    EXPECT_EQ(evaluated(StartFen).state->evalHashClass, 0);  // a miss
}

// With the full window no estimate is ever taken, however far off the parent's value is.
TEST_F(EvalTest, FullWindowNeverExitsLazily) {
    int children = 0;
    for (const char* fen :
         {StartFen, Kiwipete, RookKnightEnding, "8/2p5/1pP5/pP1k4/P2p4/3P2PP/5K2/8 w - - 0 1"}) {
        Position& pos = setUp(fen);
        for (const Move move : legalMoves(pos)) {
            for (const int parentValue : {-30000, 0, 30000}) {
                pos.state->positionalScore = parentValue;
                pos.state->lazyCount = 3;
                makeMoveAny(pos, move);
                evaluateFresh(pos, move);
                const bool pawnEnding = (pos.state->materialInfo & 0xFF) == 0;
                EXPECT_EQ(pos.state->lazyCount, pawnEnding ? 1 : 0) << fenOf(pos);
                unmakeMoveAny(pos, move);
                ++children;
            }
        }
    }
    EXPECT_GT(children, 200);
}

TEST_F(EvalTest, LazyExitOutsideTheWindow) {
    Position& pos = evaluated(StartFen);
    const int root = pos.state->positionalScore;

    // 1. e4 moves the pawn from (2, -13) to (4, -12): the estimate at phase 32 is root + 2.
    // The window is White's (the mover's); the estimate lies far below it.
    Move move = play(pos, "e2e4");
    evaluateFresh(pos, move, 20000, 20001);
    EXPECT_EQ(pos.state->lazyCount, 1);
    EXPECT_EQ(pos.state->positionalScore, root + 2);
    EXPECT_EQ(pos.state->evalScore, -(root + 2));
    const int afterE4 = pos.state->positionalScore;
    EXPECT_NE(pos.state->whiteAttacks, 0u);  // the attack map is filled on the way out

    // 1... e5, the mirror move, takes the 2 back; the window is Black's.
    move = play(pos, "e7e5");
    evaluateFresh(pos, move, 20000, 20001);
    EXPECT_EQ(pos.state->lazyCount, 2);
    EXPECT_EQ(pos.state->positionalScore, afterE4 - 2);
    EXPECT_EQ(pos.state->evalScore, afterE4 - 2);

    // The margin grows with the parent's lazy count (16 each): an estimate within 32 of
    // Black's window (Black to move, window in White's view) is evaluated fully.
    move = play(pos, "g1f3");
    const int estimate =
        pos.state[-1].positionalScore + (mgOf(PST[WhiteKnight][F3]) - mgOf(PST[WhiteKnight][G1]));
    evaluateFresh(pos, move, estimate + 20, estimate + 30);
    EXPECT_EQ(pos.state->lazyCount, 0);
    // The same window seen one further step away exits.
    pos.state[-1].lazyCount = 1;
    evaluateFresh(pos, move, estimate + 20, estimate + 30);
    EXPECT_EQ(pos.state->lazyCount, 2);
    EXPECT_EQ(pos.state->evalScore, -estimate);
}

TEST_F(EvalTest, PositionalGains) {
    Position& pos = evaluated(StartFen);
    int parent = pos.state->positionalScore;

    // White's quiet move: the gain is the change of White's positional score.
    const Move knight = play(pos, "g1f3");
    evaluateFresh(pos, knight);
    const int whiteGain = pos.state->positionalScore - parent;
    EXPECT_EQ(PositionalGainTable[WhiteKnight][knight & 0xFFF], std::max(whiteGain, -1));

    // Black's: the gain is the change seen by Black.
    parent = pos.state->positionalScore;
    const Move reply = play(pos, "g8f6");
    evaluateFresh(pos, reply);
    const int blackGain = parent - pos.state->positionalScore;
    EXPECT_EQ(PositionalGainTable[BlackKnight][reply & 0xFFF], std::max(blackGain, -1));

    // A larger entry decays by one per smaller gain, also on a hash hit.
    PositionalGainTable[BlackKnight][reply & 0xFFF] = int16_t(blackGain + 10);
    evaluate(pos, EvalFullLow, EvalFullHigh, reply);
    EXPECT_EQ(PositionalGainTable[BlackKnight][reply & 0xFFF], blackGain + 9);

    // Nothing is learned after a lazy parent, for no move, or for a capture.
    PositionalGainTable[BlackKnight][reply & 0xFFF] = 0;
    pos.state[-1].lazyCount = 1;
    evaluateFresh(pos, reply);
    EXPECT_EQ(PositionalGainTable[BlackKnight][reply & 0xFFF], 0);
    pos.state[-1].lazyCount = 0;

    clearPositionalGains();
    Position& capture = evaluated("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
    const Move takes = play(capture, "e4d5");
    evaluateFresh(capture, takes);
    EXPECT_EQ(PositionalGainTable[WhitePawn][takes & 0xFFF], 0);
    evaluateFresh(capture, NoMove);
    for (int piece = 0; piece < 16; ++piece)
        EXPECT_TRUE(std::all_of(PositionalGainTable[piece], PositionalGainTable[piece] + 4096,
                                [](int16_t g) { return g == 0; }));
}

TEST_F(EvalTest, WrongBishopDraws) {
    // Light-squared bishop, h-pawn, defending king on h8: exactly 1 for White.
    EXPECT_EQ(evaluated("7k/8/7P/8/8/8/4B3/4K3 w - - 0 1").state->evalScore, 1);
    EXPECT_EQ(evaluated("7k/8/7P/8/8/8/4B3/4K3 b - - 0 1").state->evalScore, -1);
    EXPECT_EQ(evaluated("8/6k1/8/7P/7P/8/4B3/4K3 w - - 0 1").state->evalScore, 1);  // g7 covers h8
    // Dark-squared bishop with an a-pawn.
    EXPECT_EQ(evaluated("k7/8/P7/8/8/8/3B4/4K3 w - - 0 1").state->evalScore, 1);
    // Black's: dark-squared bishop, h-pawn, White king on h1. The draw is still +1 for White.
    EXPECT_EQ(evaluated("4k3/4b3/8/8/8/7p/8/7K b - - 0 1").state->evalScore, -1);
    EXPECT_EQ(evaluated("4k3/4b3/8/8/8/7p/8/7K w - - 0 1").state->evalScore, 1);

    // The right bishop, or the king away from the corner, keeps the win.
    EXPECT_GT(evaluated("7k/8/7P/8/8/8/3B4/4K3 w - - 0 1").state->evalScore, 150);
    EXPECT_GT(evaluated("8/8/3k3P/8/8/8/4B3/4K3 w - - 0 1").state->evalScore, 150);
}

TEST_F(EvalTest, IrregularMaterial) {
    // A third knight by promotion: the index no longer describes the men.
    Position& pos = setUp("4k3/1P6/8/8/8/8/8/1NN1K3 w - - 0 1");
    play(pos, "b7b8n");
    ASSERT_TRUE(pos.state->materialInfo & IrregularMaterial);
    const MaterialValue m = positionMaterial(pos);
    EXPECT_EQ(m.value, 3 * 310);
    EXPECT_EQ(m.scale, 128);
    EXPECT_EQ(m.flags, 0x42);  // White has pieces; Black only king (and no bishops)
    evaluateFresh(pos);
    EXPECT_TRUE(pos.state->materialInfo & IrregularMaterial);
    EXPECT_EQ(pos.state->materialFlags, 0x42);
    EXPECT_EQ(pos.state->positionalScore, whiteValue(pos) - 930);
    EXPECT_LT(pos.state->evalScore, -300);

    // Two queens against one, then one is taken: the men fit the table again.
    Position& queens = setUp("3qk3/8/8/8/8/8/8/3QK2Q b - - 0 1");
    ASSERT_TRUE(queens.state->materialInfo & IrregularMaterial);
    const MaterialValue q = positionMaterial(queens);
    EXPECT_EQ(q.value, 990);
    EXPECT_EQ(q.flags, 0x03);
    play(queens, "d8d1");
    evaluateFresh(queens);
    EXPECT_FALSE(queens.state->materialInfo & IrregularMaterial);
    const MaterialEntry& entry = MaterialTable[(queens.state->materialInfo >> 8) & 0x7FFFF];
    EXPECT_EQ(queens.state->materialFlags, entry.flags);
    EXPECT_EQ(queens.state->positionalScore, whiteValue(queens) - entry.value);

    // Beyond 2000 points every further point counts half; the bishop pair counts.
    Position& many = setUp("4k3/8/8/8/8/8/8/QQQBBK2 w - - 0 1");
    const int raw = 3 * 990 + 2 * 320 + 40;
    EXPECT_EQ(positionMaterial(many).value, 2000 + (raw - 2000) / 2);
    Position& manyBlack = setUp("qqqbbk2/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(positionMaterial(manyBlack).value, -(2000 + (raw - 2000) / 2));
}

TEST_F(EvalTest, PawnEndings) {
    // Key square reached with the opposition: won for White whoever moves.
    const Position& won = evaluated("8/4k3/8/4K3/4P3/8/8/8 b - - 0 1");
    EXPECT_LT(won.state->evalScore, -400);
    EXPECT_EQ(won.state->lazyCount, 1);
    EXPECT_EQ(won.state->positionalScore, 0);
    // The same with White to move: Black keeps the opposition, a draw (0 is stored as 1).
    EXPECT_EQ(evaluated("8/4k3/8/4K3/4P3/8/8/8 w - - 0 1").state->evalScore, 1);
    // Rook's pawn with the defending king in the corner.
    EXPECT_EQ(evaluated("k7/8/1K6/P7/8/8/8/8 w - - 0 1").state->evalScore, 1);
    // The same seen from Black: the pawn's side to move, won.
    EXPECT_GT(evaluated("8/8/8/8/4p3/4k3/8/4K3 b - - 0 1").state->evalScore, 400);

    // A runaway a-pawn: the Black king is outside its square, Black's own pawn is slow.
    EXPECT_LT(evaluated("8/8/7p/P7/8/8/8/k5K1 b - - 0 1").state->evalScore, -250);
    EXPECT_GT(evaluated("8/8/7p/P7/8/8/8/k5K1 w - - 0 1").state->evalScore, 250);
    // With the king inside the square there is no bonus.
    EXPECT_LT(std::abs(evaluated("8/8/7p/P1k5/8/8/8/6K1 b - - 0 1").state->evalScore), 150);

    // All the stronger side's pawns on the h-file with the defending king in the corner.
    EXPECT_EQ(evaluated("7k/8/8/7P/8/8/7P/6K1 w - - 0 1").state->evalScore, 1);
    // b-file pawns, b6 blocked by b7, defending king on a8.
    EXPECT_EQ(evaluated("k7/1p6/1P6/8/8/1P6/8/4K3 w - - 0 1").state->evalScore, 1);

    // Stalemate guard: Black to move has no move at all but is a pawn down.
    EXPECT_EQ(evaluated("7k/5K2/6P1/p7/P7/8/8/8 b - - 0 1").state->evalScore, 1);
    // With a free pawn move it is simply lost.
    EXPECT_LT(evaluated("7k/5K2/6P1/p7/8/8/P7/8 b - - 0 1").state->evalScore, -100);

    // The by-products: attack maps of pawns and kings, pawn checkers, no x-ray blockers.
    const Position& check = evaluated("8/8/8/3k4/4P3/8/8/4K3 b - - 0 1");
    EXPECT_EQ(check.state->whiteCheckers, SquareBB[E4]);
    EXPECT_EQ(check.state->blackCheckers, 0u);
    EXPECT_EQ(check.state->whiteAttacks, SquareBB[D5] | SquareBB[F5] | KingAttacks[E1]);
    EXPECT_EQ(check.state->whiteXrayBlockers | check.state->blackXrayBlockers, 0u);
}

TEST_F(EvalTest, EvalCommandBypassesTheHash) {
    Position& pos = setUp(BlackMiddlegame);
    evaluateFresh(pos);
    const int stm = pos.state->evalScore;
    storeEvalHash(pos.state->key, 777);
    ::testing::internal::CaptureStdout();
    evalCommand(pos);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "info string eval white " + std::to_string(-stm) + " stm " + std::to_string(stm) + "\n");
}

// The value of a position equals the negated value of its colour mirror, and its
// by-products and pawn entry are the mirror's colour for colour.
//
// The material table rounds its phase blend toward minus infinity, so at phases other
// than 0, 8, 24 and 32 the mirrored material can be 1 lower (in Black's favour) than the
// negated original. That one point is the only asymmetry allowed: it is checked to be
// exactly that, and the mirror's entry then gets the negated original value while it is
// evaluated, so that everything built on it must come out exactly opposite.
TEST_F(EvalTest, ColourSymmetry) {
    const std::pair<const char*, int> starts[] = {
        {StartFen, 2},
        {Middlegame, 1},
        {Kiwipete, 1},
        {BlackMiddlegame, 2},
        {RookKnightEnding, 2},
        {"2kr3r/ppp2ppp/2n5/2b1p3/4P1q1/2NP1N2/PPP2PPP/R1BQ1RK1 b - - 0 1", 1},
        {EnPassantF6, 1},  // en passant
        {CastlingBothWays, 1},
        {"8/2p5/1pP5/pP1k4/P2p4/3P2PP/5K2/8 w - - 0 1", 3},  // pawn endings
        {"8/8/4k3/3pP3/8/8/8/4K3 w - d6 0 1", 2},
        {"8/8/7p/P7/8/8/8/k5K1 b - - 0 1", 3},
        {"k7/1p6/1P6/8/8/1P6/8/4K3 w - - 0 1", 2},
        {"6k1/1P3ppp/8/2PP4/8/p7/5PPP/6K1 w - - 0 1", 2},  // passers, rook and queen endings
        {"6k1/5ppp/8/8/8/8/r4PPP/1R4K1 w - - 0 1", 2},
        {"6k1/1P3ppp/1q6/8/8/1Q6/5PPP/6K1 w - - 0 1", 1},
        {"7k/8/7P/8/8/8/4B3/4K3 w - - 0 1", 2},  // wrong bishop, bishop and knight
        {"8/8/8/4k3/8/8/8/4KBN1 w - - 0 1", 2},
        {"4k3/1P6/8/8/8/8/8/1NN1K3 w - - 0 1", 2},  // irregular material
        {"3qk3/8/8/8/8/8/8/3QK2Q b - - 0 1", 1},
    };
    std::vector<std::string> fens;
    for (const auto& [fen, depth] : starts) walkPositions(setUp(fen), depth, fens);

    // Values and by-products of the current record, seen from the other colour when mirrored.
    const auto view = [](const Position& pos, bool mirror) {
        const StateRecord& st = *pos.state;
        PawnHashEntry e;
        readPawnEntry(st.pawnKey, e);
        const auto pick = [&](auto white, auto black) { return mirror ? black : white; };
        const auto board = [&](Bitboard w, Bitboard b) { return mirror ? flip(b) : w; };
        const int sign = mirror ? -1 : 1;
        const uint8_t flags = mirror ? swapFlagColours(st.materialFlags) : st.materialFlags;
        return std::pair(
            std::tuple(sign * whiteValue(pos), sign * st.positionalScore),
            std::tuple(
                st.lazyCount, flags, pick(st.whiteKingDanger, st.blackKingDanger),
                pick(st.blackKingDanger, st.whiteKingDanger), board(st.whiteAttacks, st.blackAttacks),
                board(st.blackAttacks, st.whiteAttacks), board(st.whiteXrayBlockers, st.blackXrayBlockers),
                board(st.blackXrayBlockers, st.whiteXrayBlockers), board(st.whiteCheckers, st.blackCheckers),
                board(st.blackCheckers, st.whiteCheckers), e.lock == st.pawnKey, sign * e.pawnScore,
                pick(e.whitePawnFiles, e.blackPawnFiles), pick(e.blackPawnFiles, e.whitePawnFiles),
                e.openFiles, pick(e.whiteShelter, e.blackShelter), pick(e.blackShelter, e.whiteShelter),
                pick(e.whitePawnsLight, e.blackPawnsDark), pick(e.whitePawnsDark, e.blackPawnsLight),
                pick(e.blackPawnsLight, e.whitePawnsDark), pick(e.blackPawnsDark, e.whitePawnsLight),
                pick(e.whitePassedFiles, e.blackPassedFiles), pick(e.blackPassedFiles, e.whitePassedFiles),
                pick(e.whiteDrawWeight, e.blackDrawWeight), pick(e.blackDrawWeight, e.whiteDrawWeight)));
    };

    int patched = 0;
    for (const std::string& fen : fens) {
        Position& pos = setUp(fen);
        const std::string mirrored = fenOf(pos, true);
        const MaterialValue material = positionMaterial(pos);
        evaluateFresh(pos);
        const auto a = view(pos, false);

        Position& mirror = setUp(mirrored);
        const MaterialValue mirrorMaterial = positionMaterial(mirror);
        ASSERT_EQ(material.scale, mirrorMaterial.scale) << fen;
        ASSERT_EQ(material.flags, swapFlagColours(mirrorMaterial.flags)) << fen;
        const int drift = material.value + mirrorMaterial.value;
        ASSERT_TRUE(drift == 0 || drift == -1) << fen;
        MaterialEntry& entry = MaterialTable[(mirror.state->materialInfo >> 8) & 0x7FFFF];
        const MaterialEntry saved = entry;
        if (drift) {
            ASSERT_FALSE(mirror.state->materialInfo & IrregularMaterial);
            entry.value = int16_t(-material.value);
            ++patched;
        }
        evaluateFresh(mirror);
        if (drift) entry = saved;
        const auto b = view(mirror, true);

        // The draw marker of the full evaluation is +1 for White whoever holds the draw.
        const bool bothDrawn =
            std::get<0>(a.first) == 1 && std::get<0>(b.first) == -1 && std::get<0>(a.second) == 0;
        if (!bothDrawn) {
            ASSERT_EQ(a.first, b.first) << fen;
        }
        ASSERT_EQ(a.second, b.second) << fen;
    }
    EXPECT_GT(fens.size(), 1000u);
    EXPECT_GT(patched, 0);  // the rounding did occur and was covered
}

}  // namespace
