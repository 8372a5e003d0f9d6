#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/attackmap.h"
#include "board/makemove.h"
#include "board_fixture.h"
#include "core/flags.h"
#include "movegen/gaintable.h"
#include "movegen/history.h"
#include "movegen/legality.h"
#include "movegen/perft.h"
#include "movegen/see.h"
#include "shell/checkcommands.h"
#include "test_positions.h"

namespace {

std::vector<std::string> texts(const MoveEntry* begin, const MoveEntry* end) {
    std::vector<std::string> result;
    char buffer[8];
    for (const MoveEntry* e = begin; e < end; ++e) result.push_back(moveToText(entryMove(*e), buffer));
    return result;
}

std::vector<std::string> captures(const Position& pos) {
    MoveEntry list[MaxMoves];
    return texts(list, generateCapturesAny(pos, list, ~Bitboard(0)));
}
std::vector<std::string> quiets(const Position& pos) {
    MoveEntry list[MaxMoves];
    return texts(list, generateQuietsAny(pos, list));
}
std::vector<std::string> evasions(const Position& pos) {
    MoveEntry list[MaxMoves];
    return texts(list, generateEvasionsAny(pos, list, ~Bitboard(0)));
}
std::vector<std::string> quietChecks(const Position& pos, Bitboard exclude = 0) {
    MoveEntry list[MaxMoves];
    MoveEntry* end = pos.sideToMove == White ? generateQuietChecks<White>(pos, list, exclude)
                                             : generateQuietChecks<Black>(pos, list, exclude);
    return texts(list, end);
}
bool contains(const std::vector<std::string>& list, const std::string& move) {
    return std::find(list.begin(), list.end(), move) != list.end();
}
bool see(const Position& pos, const char* move) {
    const Move m = textMove(pos, move);
    return pos.sideToMove == White ? seeOk<White>(pos, m) : seeOk<Black>(pos, m);
}
bool pseudoLegal(const Position& pos, Move m) {
    return pos.sideToMove == White ? isPseudoLegal<White>(pos, m) : isPseudoLegal<Black>(pos, m);
}

}  // namespace

TEST(CaptureOrder, TableValues) {
    buildTables();
    EXPECT_EQ(CaptureOrder[WhitePawn][BlackQueen], 0xD0200000u);
    EXPECT_EQ(CaptureOrder[WhiteQueen][BlackQueen], 0xCC100000u);
    EXPECT_EQ(CaptureOrder[WhiteKing][BlackQueen], 0xCB300000u);
    EXPECT_EQ(CaptureOrder[WhiteRook][BlackPawn], 0xAD000000u);
    EXPECT_EQ(CaptureOrder[WhiteKnight][BlackKnight], 0xB7100000u);
    EXPECT_EQ(CaptureOrder[BlackPawn][WhiteQueen], 0xD0200000u);
    EXPECT_EQ(CaptureOrder[BlackKnight][WhiteDarkBishop], 0xBF100000u);  // knight and bishop trade evenly
    EXPECT_EQ(CaptureOrder[WhiteLightBishop][BlackRook], 0xC6200000u);
    EXPECT_EQ(CaptureOrder[WhiteQueen][BlackRook], 0xC4000000u);
    EXPECT_EQ(CaptureOrder[WhitePawn][0], 0x06008000u);
    EXPECT_EQ(CaptureOrder[BlackKing][0], 0x07000000u);
    EXPECT_EQ(CaptureOrder[BlackQueen][0], 0x02008000u);
    EXPECT_EQ(CaptureOrder[WhitePawn][WhitePawn], 0u);
}

TEST(Generators, StartPositionOrder) {
    Position& pos = setUp(StartFen);
    resetHistory();  // every quiet move then has the start value as its key
    MoveEntry list[MaxMoves];
    EXPECT_EQ(generateCaptures<White>(pos, list, pos.pieces[BlackMen]), list);
    EXPECT_EQ(list[0], 0u);
    MoveEntry* end = generateQuiets<White>(pos, list);
    ASSERT_EQ(end - list, 20);
    EXPECT_EQ(*end, 0u);
    const std::vector<std::string> expected = {"a2a4", "a2a3", "b2b4", "b2b3", "c2c4", "c2c3", "d2d4",
                                               "d2d3", "e2e4", "e2e3", "f2f4", "f2f3", "g2g4", "g2g3",
                                               "h2h4", "h2h3", "b1a3", "b1c3", "g1f3", "g1h3"};
    EXPECT_EQ(texts(list, end), expected);
    for (MoveEntry* e = list; e < end; ++e) EXPECT_EQ(*e >> 16, HistoryStartValue);
    positionCommand(pos, "startpos moves e2e4");
    EXPECT_EQ(quiets(pos)[0], "a7a5");  // Black's pushes too go in square order of the destination
}

TEST(Generators, Promotions) {
    Position& pos = setUp(PawnOnB7);
    MoveEntry list[MaxMoves];
    MoveEntry* end = generateCaptures<White>(pos, list, pos.pieces[BlackMen]);
    ASSERT_EQ(end - list, 1);
    EXPECT_EQ(list[0], 0xD8000000u | encodeMove(B7, B8, MovePromoQueen));
    const std::vector<std::string> quietList = quiets(pos);
    EXPECT_EQ(std::vector<std::string>(quietList.end() - 3, quietList.end()),
              (std::vector<std::string>{"b7b8n", "b7b8r", "b7b8b"}));

    setUp("8/1P1k4/8/8/8/8/8/4K3 w - - 0 1");  // a knight on b8 would check the king on d7
    end = generateCaptures<White>(pos, list, pos.pieces[BlackMen]);
    ASSERT_EQ(end - list, 2);
    EXPECT_EQ(list[1], 0xC2000000u | encodeMove(B7, B8, MovePromoKnight));
    EXPECT_FALSE(contains(quiets(pos), "b7b8n"));
    EXPECT_TRUE(contains(quiets(pos), "b7b8r"));

    setUp("rn2k3/1P6/8/8/8/8/8/4K3 w - - 0 1");                     // captures on a8 only within the targets
    EXPECT_EQ(captures(pos), (std::vector<std::string>{"b7a8q"}));  // b8 is blocked
    end = generateCaptures<White>(pos, list, SquareBB[B8]);
    EXPECT_EQ(end - list, 0);
    end = generateCaptures<White>(pos, list, SquareBB[A8]);
    ASSERT_EQ(end - list, 1);
    EXPECT_EQ(list[0],
              (CaptureOrder[WhitePawn][BlackRook] + 0x28000000u) | encodeMove(B7, A8, MovePromoQueen));
    EXPECT_TRUE(contains(quiets(pos), "b7a8n"));
    EXPECT_TRUE(contains(quiets(pos), "b7a8b"));

    setUp("4k3/8/8/8/8/8/6p1/4K2R b - - 0 1");  // Black promotes, with and without capture
    EXPECT_EQ(captures(pos), (std::vector<std::string>{"g2g1q", "g2h1q"}));
}

TEST(Generators, Castling) {
    Position& pos = setUp(CastlingBothWays);
    EXPECT_EQ(quiets(pos)[0], "e1g1");
    EXPECT_EQ(quiets(pos)[1], "e1c1");
    MoveEntry list[MaxMoves];
    generateQuiets<White>(pos, list);
    EXPECT_EQ(moveType(list[0]), MoveCastling);
    setUp("5r2/4k3/8/8/8/8/8/R3K2R w KQ - 0 1");  // f1 attacked
    EXPECT_FALSE(contains(quiets(pos), "e1g1"));
    EXPECT_TRUE(contains(quiets(pos), "e1c1"));
    setUp("2r5/4k3/8/8/8/8/8/R3K2R w KQ - 0 1");  // c1 attacked
    EXPECT_FALSE(contains(quiets(pos), "e1c1"));
    EXPECT_TRUE(contains(quiets(pos), "e1g1"));
    setUp("1r6/4k3/8/8/8/8/8/R3K2R w KQ - 0 1");  // only b1 attacked
    EXPECT_TRUE(contains(quiets(pos), "e1c1"));
    EXPECT_TRUE(contains(quiets(pos), "e1g1"));
    setUp("4k3/8/8/8/8/8/8/RN2K1NR w KQ - 0 1");  // blocked paths
    EXPECT_FALSE(contains(quiets(pos), "e1c1"));
    EXPECT_FALSE(contains(quiets(pos), "e1g1"));
    setUp("r3k2r/8/8/8/8/8/8/R3K2R b kq - 0 1");
    EXPECT_EQ(quiets(pos)[0], "e8g8");
    EXPECT_EQ(quiets(pos)[1], "e8c8");
}

TEST(Generators, CheckHints) {
    Position& pos = setUp("4k3/8/8/8/8/8/3P4/R3K1N1 w - - 0 1");
    resetHistory();  // the keys below hold the start value of the history counters
    MoveEntry list[MaxMoves];
    MoveEntry* end = generateQuiets<White>(pos, list);
    for (MoveEntry* e = list; e < end; ++e) {
        char buffer[8];
        const std::string text = moveToText(entryMove(*e), buffer);
        const bool checking = text == "a1a8";  // no pawn, knight or king move checks here
        EXPECT_EQ((*e & CheckHint) != 0, checking) << text;
    }
    setUp("4k3/8/3P4/8/8/8/8/4K1N1 w - - 0 1");
    end = generateQuiets<White>(pos, list);
    EXPECT_EQ(list[0], 0x08000000u | CheckHint | encodeMove(D6, D7));
    EXPECT_FALSE(end[-1] & CheckHint);  // g1h3
}

TEST(Generators, Evasions) {
    // Double check by rook and knight: only king moves, in square order.
    Position& pos = setUp("4k3/8/8/8/8/Q4n2/8/r3K3 w - - 0 1");
    EXPECT_EQ(evasions(pos), (std::vector<std::string>{"e1e2", "e1f2"}));

    // The pawn that just gave check by a double push can be taken en passant.
    positionCommand(pos, "fen 4k3/3p4/8/4P3/4K3/8/8/8 b - - 0 1 moves d7d5");
    ASSERT_EQ(pos.state->epSquare, D6);
    const std::vector<std::string> list = evasions(pos);
    EXPECT_TRUE(contains(list, "e5d6"));
    EXPECT_TRUE(contains(list, "e4d5"));
    EXPECT_EQ(textMove(pos, "e5d6"), encodeMove(E5, D6, MoveEnPassant));

    // Block or capture: king moves first, then pawn captures, pushes and pieces.
    setUp("4k3/8/8/8/1b6/5N2/2P5/4K2R w - - 0 1");
    MoveEntry entries[MaxMoves];
    MoveEntry* end = generateEvasions<White>(pos, entries, ~Bitboard(0));
    EXPECT_EQ(texts(entries, end),
              (std::vector<std::string>{"e1d1", "e1f1", "e1e2", "e1f2", "c2c3", "f3d2"}));
    EXPECT_EQ(entries[0] & ~MoveMask, 0x07000000u);
    EXPECT_EQ(entries[4] & ~MoveMask, 0x06008000u);
    EXPECT_EQ(entries[5] & ~MoveMask, 0x05008000u);

    // A capturing promotion out of check: queen first with its key, then knight, rook, bishop.
    setUp("2r1k3/1P6/8/8/8/8/8/2K5 w - - 0 1");
    end = generateEvasions<White>(pos, entries, ~Bitboard(0));
    const std::vector<std::string> got = texts(entries, end);
    const auto at = std::find(got.begin(), got.end(), "b7c8q");
    ASSERT_NE(at, got.end());
    ASSERT_LE(at + 4, got.end());
    EXPECT_EQ(std::vector<std::string>(at, at + 4),
              (std::vector<std::string>{"b7c8q", "b7c8n", "b7c8r", "b7c8b"}));
    EXPECT_EQ(entries[at - got.begin()] & ~MoveMask, CaptureOrder[WhitePawn][BlackRook] + 0x20000000u);
    EXPECT_EQ(entries[at - got.begin() + 1] & ~MoveMask, 0u);

    // The targets argument restricts every destination, the king's included.
    setUp("4k3/8/8/8/1b6/5N2/2P5/4K2R w - - 0 1");
    end = generateEvasions<White>(pos, entries, SquareBB[C3] | SquareBB[E2]);
    EXPECT_EQ(texts(entries, end), (std::vector<std::string>{"e1e2", "c2c3"}));
}

TEST(Generators, QuietChecks) {
    // The knight in front of the rook discovers check wherever it goes; d6 and f6 also check directly.
    Position& pos = setUp("4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1");
    EXPECT_EQ(quietChecks(pos), (std::vector<std::string>{"e4d2", "e4f2", "e4c3", "e4g3", "e4c5", "e4g5",
                                                          "e4d6", "e4f6", "e4d6", "e4f6"}));
    EXPECT_EQ(quietChecks(pos, SquareBB[D2] | SquareBB[D6]).size(), 7u);

    // A supported pawn push onto the square diagonally in front of the king.
    setUp("4k3/8/3P4/8/8/8/8/3RK3 w - - 0 1");
    EXPECT_EQ(quietChecks(pos), (std::vector<std::string>{"d6d7"}));
    setUp("4k3/8/3P4/8/8/8/8/4K3 w - - 0 1");  // unsupported: dropped
    EXPECT_TRUE(quietChecks(pos).empty());

    // A checking square guarded by a pawn is dropped for the knight.
    setUp("4k3/2p5/8/8/2N5/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(quietChecks(pos).empty());  // d6 is guarded by c7
    setUp("4k3/8/8/8/2N5/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(contains(quietChecks(pos), "c4d6"));

    // The king discovers check only by leaving the line.
    setUp("4k3/8/8/8/8/4K3/8/4R3 w - - 0 1");
    const std::vector<std::string> kingMoves = quietChecks(pos);
    EXPECT_FALSE(kingMoves.empty());
    for (const std::string& m : kingMoves) EXPECT_NE(m[2], 'e') << m;
}

TEST(Generators, GainMoves) {
    Position& pos = setUp(StartFen);
    clearPositionalGains();
    PositionalGainTable[WhiteKnight][G1 * 64 + F3] = 50;
    PositionalGainTable[WhiteKnight][G1 * 64 + H3] = 10;
    PositionalGainTable[WhitePawn][E2 * 64 + E4] = 30;
    PositionalGainTable[WhitePawn][A2 * 64 + A3] = -20;
    MoveEntry list[MaxMoves];
    MoveEntry* end = generateGainMoves<White>(pos, list, 5);
    EXPECT_EQ(texts(list, end), (std::vector<std::string>{"g1f3", "e2e4", "g1h3"}));
    EXPECT_EQ(list[0] >> 16, 50u);
    end = generateGainMoves<White>(pos, list, 0);
    EXPECT_EQ(end - list, 19);
    for (MoveEntry* e = list + 1; e < end; ++e) EXPECT_GE(e[-1], e[0]);
    setUp("r3k2r/1P6/8/8/8/8/8/R3K2R w KQkq - 0 1");
    end = generateGainMoves<White>(pos, list, -100);
    for (const std::string& m : texts(list, end))
        EXPECT_TRUE(m.size() == 4 && m != "e1g1" && m != "e1c1") << m;
    clearPositionalGains();
}

// isPseudoLegal accepts exactly the moves the generators produce (for a side not in check).
TEST(IsPseudoLegal, AgreesWithGenerators) {
    const char* const fens[] = {
        StartFen, Kiwipete, PawnOnD7, EnPassantF6, Underpromotions, EnPassantE3,
    };
    for (const char* fen : fens) {
        Position& pos = setUp(fen);
        ASSERT_FALSE(inCheck(pos));
        MoveEntry list[MaxMoves];
        MoveEntry* end = generateAll(pos, list);
        std::vector<bool> generated(1 << 15, false);
        for (MoveEntry* e = list; e < end; ++e) generated[entryMove(*e)] = true;
        for (uint32_t word = 1; word < (1u << 15); ++word)
            ASSERT_EQ(pseudoLegal(pos, Move(word)), bool(generated[word])) << fen << " " << word;
    }
}

TEST(IsPseudoLegal, StaleAndCorruptWords) {
    Position& pos = setUp("r3k2r/8/8/8/8/8/4P3/R3K1NR w Kkq - 0 1");
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(H1, G1)));                  // own man on the square
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(E1, C1, MoveCastling)));    // the long right is gone
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(E2, E3, MovePromoQueen)));  // promotion away from the last rank
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(G1, F3, MoveCastling)));    // a knight with a king's type
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(E2, E4, 2)));               // unused type
    EXPECT_TRUE(pseudoLegal(pos, encodeMove(E2, E4)));
    EXPECT_TRUE(pseudoLegal(pos, encodeMove(G1, F3)));

    setUp("4k3/8/n7/8/7P/8/8/4K3 w - - 0 1");
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(H4, A6)));  // h4+9 wraps round to a6
    setUp(ShortCastlingWhite);
    EXPECT_TRUE(pseudoLegal(pos, encodeMove(E1, G1, MoveCastling)));
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(E1, G1)));  // a two-square king step without the type
    setUp(ShortCastlingBlack);
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(E1, G1, MoveCastling)));  // not White's move
    setUp("4k3/4r3/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_FALSE(pseudoLegal(pos, encodeMove(E1, G1, MoveCastling)));  // castling out of check
}

TEST(StaticExchange, Cases) {
    Position& pos = setUp("4k3/8/2p5/3p4/8/8/8/3RK3 w - - 0 1");
    EXPECT_FALSE(see(pos, "d1d5"));  // rook takes a pawn defended by a pawn
    setUp("4k3/8/8/3p4/8/1B6/8/4K3 w - - 0 1");
    EXPECT_TRUE(see(pos, "b3d5"));  // undefended
    setUp("4k3/8/5n2/3n4/8/8/3R4/3RK3 w - - 0 1");
    EXPECT_TRUE(see(pos, "d2d5"));  // the second rook joins from behind
    setUp("4k3/8/5n2/3n4/8/8/3R4/4K3 w - - 0 1");
    EXPECT_FALSE(see(pos, "d2d5"));
    setUp("4r1k1/8/8/4r3/8/2Q5/1B6/6K1 w - - 0 1");
    EXPECT_TRUE(see(pos, "c3e5"));  // the bishop behind the queen recaptures
    setUp("4r1k1/8/8/4r3/8/2Q5/8/6K1 w - - 0 1");
    EXPECT_FALSE(see(pos, "c3e5"));
    setUp("4k3/8/2p5/3n4/8/4N3/8/4K3 w - - 0 1");
    EXPECT_FALSE(see(pos, "e3d5"));  // knight for knight, pawn recaptures, nothing more
    setUp("4k3/8/8/p3r3/8/8/8/4Q1K1 w - - 0 1");
    EXPECT_FALSE(see(pos, "e1a5"));  // the rook pinned by the capturing queen still defends
    setUp("4k3/8/8/p3r3/8/8/3Q4/4R1K1 w - - 0 1");
    EXPECT_TRUE(see(pos, "d2a5"));  // pinned by another man: it cannot recapture
    setUp("4k3/8/8/8/8/8/3p4/4K3 w - - 0 1");
    EXPECT_TRUE(see(pos, "e1d2"));  // the king takes an undefended pawn
    setUp("4k3/8/8/8/8/1n6/3p4/4K3 w - - 0 1");
    EXPECT_FALSE(see(pos, "e1d2"));  // ... but not a defended one
    setUp("4k3/1p6/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_FALSE(see(pos, "a1a6"));  // a quiet move onto a pawn-guarded square
    setUp("4k3/8/8/3p4/8/8/8/3RK3 b - - 0 1");
    EXPECT_FALSE(see(pos, "d5d4"));  // a pawn push onto a square only the rook sees
    setUp("4k3/8/8/3pp3/8/8/8/3RK3 b - - 0 1");
    EXPECT_TRUE(see(pos, "d5d4"));  // ... defended by the other pawn
    setUp("3rk3/8/8/8/3P4/2P5/8/4K3 b - - 0 1");
    EXPECT_FALSE(see(pos, "d8d4"));  // Black's rook into a pawn-defended pawn
}

TEST(AttackMap, CheckersBlockersAndPinners) {
    Position& pos = setUp(PinnedKnight);
    EXPECT_EQ(pos.state->blackXrayBlockers, SquareBB[E2]);
    EXPECT_EQ(pos.pinnerOfWhite[E2], E7);
    EXPECT_EQ(pos.state->blackCheckers, 0u);
    setUp("4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1");
    EXPECT_EQ(pos.state->whiteXrayBlockers, SquareBB[E4]);
    EXPECT_EQ(pos.pinnerOfBlack[E4], E1);
    setUp("4k3/8/8/8/8/8/8/Q3R1K1 b - - 0 1");
    EXPECT_EQ(pos.state->whiteCheckers, SquareBB[E1]);
    EXPECT_EQ(pos.state->whiteXrayBlockers, 0u);
    setUp("4k3/3P4/8/7b/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(pos.state->whiteCheckers, SquareBB[D7]);
    EXPECT_TRUE(inCheck(pos));
    EXPECT_EQ(pos.state->blackCheckers, 0u);
    setUp("4k3/8/8/8/7b/8/5P2/4K3 w - - 0 1");
    EXPECT_EQ(pos.state->blackXrayBlockers, SquareBB[F2]);  // the bishop pins the pawn
    EXPECT_EQ(pos.state->blackAttacks & SquareBB[E1], 0u);
    // Two blockers on the line: neither is pinned.
    setUp("4k3/4r3/8/4P3/8/8/4N3/4K3 w - - 0 1");
    EXPECT_EQ(pos.state->blackXrayBlockers, 0u);
    // Kings next to each other (a broken position) are not checkers; a missing king is no fault.
    setUp(KingsSideBySide);
    EXPECT_EQ(pos.state->whiteCheckers | pos.state->blackCheckers, 0u);
    EXPECT_NE(pos.state->blackAttacks & SquareBB[D4], 0u);
    setUp("8/8/8/3q4/8/8/8/8 w - - 0 1");
    EXPECT_FALSE(positionValid);
}

TEST(MateTest, MateAndEscape) {
    Position& pos = setUp("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    ASSERT_TRUE(inCheck(pos));
    EXPECT_EQ(mateTest(pos), -30000);
    pos.ply = 3;
    EXPECT_EQ(mateTest(pos), 16 * 3 - 30000);
    pos.ply = 0;
    EXPECT_EQ(pos.state, pos.stateBase);  // nothing left made
    setUp("R5k1/5pp1/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(mateTest(pos), 0);
    setUp("R5k1/5ppp/8/8/8/8/8/1r4K1 b - - 0 1");  // the rook can block on b8
    EXPECT_EQ(mateTest(pos), 0);
    setUp("6rk/5Npp/8/8/8/8/8/6K1 b - - 0 1");  // smothered
    EXPECT_EQ(mateTest(pos), -30000);
}

TEST(PerftCommand, PrintsMovesAndTotal) {
    Position& pos = setUp(StartFen);
    testing::internal::CaptureStdout();
    perftCommand(pos, 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 22);
    EXPECT_NE(out.find("a2a4: 1\n"), std::string::npos);
    EXPECT_NE(out.find("g1h3: 1\n"), std::string::npos);
    EXPECT_NE(out.find("\n\nNodes searched: 20\n"), std::string::npos);

    setUp(Kiwipete);
    testing::internal::CaptureStdout();
    perftCommand(pos, 2);
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("e1g1: 43\n"), std::string::npos);
    EXPECT_NE(out.find("Nodes searched: 2039\n"), std::string::npos);

    testing::internal::CaptureStdout();
    perftCommand(pos, 0);  // clamped to 1
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Nodes searched: 48\n"), std::string::npos);

    setUp(NoBlackKing);
    testing::internal::CaptureStdout();
    perftCommand(pos, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nNodes searched: 0\n");
}

TEST(PerftCommand, LeavesTheKeyHistoryAlone) {
    Position& pos = setUp(StartFen);
    pos.historyLength = 250;
    pos.keyHistory[251] = 12345;
    const StateRecord* state = pos.state;
    EXPECT_EQ(perft(pos, 3), 8902u);
    EXPECT_EQ(pos.historyLength, 250u);
    EXPECT_EQ(pos.keyHistory[251], 12345u);
    EXPECT_EQ(pos.state, state);
    pos.historyLength = 0;
}
