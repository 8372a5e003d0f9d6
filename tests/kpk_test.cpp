#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "eval/kpk.h"

static Square at(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

static int distance(Square a, Square b) {
    return std::max(std::abs(fileOf(a) - fileOf(b)), std::abs(rankOf(a) - rankOf(b)));
}

static bool pawnAttacks(Square pawn, Square s) {
    return rankOf(s) == rankOf(pawn) + 1 && std::abs(fileOf(s) - fileOf(pawn)) == 1;
}

static bool legal(Square wk, Square bk, Square pawn, bool whiteToMove) {
    if (wk == pawn || bk == pawn || distance(wk, bk) < 2) return false;
    return !(whiteToMove && pawnAttacks(pawn, bk));
}

static Square mirrorFile(Square s) { return s ^ 7; }

// A plain solver to check the table against: explicit moves, one position at a time,
// sweeping every position of a pawn file until nothing changes.
static uint8_t ReferenceWin[2][64][64][64];  // [white to move][white king][black king][pawn]

// Does a queen (or rook) on q attack s, with the White king on wk as the only blocker?
static bool lineAttack(Square q, Square s, Square wk, bool queen) {
    const int df = fileOf(s) - fileOf(q), dr = rankOf(s) - rankOf(q);
    if (q == s) return false;
    const bool straight = df == 0 || dr == 0;
    const bool diagonal = std::abs(df) == std::abs(dr);
    if (!straight && !(queen && diagonal)) return false;
    const int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
    for (Square t = q + sf + 8 * sr; t != s; t += sf + 8 * sr)
        if (t == wk) return false;
    return true;
}

static bool referencePromotionWins(Square wk, Square bk, Square q, bool queen) {
    bool hasMove = false;
    for (Square to = 0; to < 64; ++to) {
        if (distance(to, bk) != 1 || distance(to, wk) < 2) continue;
        if (to == q) return false;  // takes the undefended piece
        if (!lineAttack(q, to, wk, queen)) hasMove = true;
    }
    return hasMove || lineAttack(q, bk, wk, queen);
}

static void solveReferenceFile(int file) {
    for (int rank = 6; rank >= 1; --rank) {
        const Square pawn = makeSquare(file, rank);
        for (bool changed = true; changed;) {
            changed = false;
            for (Square wk = 0; wk < 64; ++wk)
                for (Square bk = 0; bk < 64; ++bk) {
                    if (legal(wk, bk, pawn, true) && !ReferenceWin[1][wk][bk][pawn]) {
                        bool win = false;
                        for (Square to = 0; to < 64 && !win; ++to)
                            if (distance(to, wk) == 1 && to != pawn && distance(to, bk) >= 2)
                                win = ReferenceWin[0][to][bk][pawn];
                        const Square push = pawn + 8;
                        if (!win && push != wk && push != bk) {
                            if (rank == 6)
                                win = referencePromotionWins(wk, bk, push, true) ||
                                      referencePromotionWins(wk, bk, push, false);
                            else
                                win = ReferenceWin[0][wk][bk][push];
                            if (!win && rank == 1 && push + 8 != wk && push + 8 != bk)
                                win = ReferenceWin[0][wk][bk][push + 8];
                        }
                        if (win) ReferenceWin[1][wk][bk][pawn] = 1, changed = true;
                    }
                    if (legal(wk, bk, pawn, false) && !ReferenceWin[0][wk][bk][pawn]) {
                        bool anyMove = false, allWin = true;
                        for (Square to = 0; to < 64; ++to) {
                            if (distance(to, bk) != 1 || distance(to, wk) < 2 || pawnAttacks(pawn, to))
                                continue;
                            anyMove = true;
                            if (to == pawn || !ReferenceWin[1][wk][to][pawn]) allWin = false;
                        }
                        const bool win = anyMove ? allWin : pawnAttacks(pawn, bk);
                        if (win) ReferenceWin[0][wk][bk][pawn] = 1, changed = true;
                    }
                }
        }
    }
}

class KpkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initKpk(); }
    static bool win(const char* wk, const char* bk, const char* pawn, bool whiteToMove) {
        return kpkWin(at(wk), at(bk), at(pawn), whiteToMove);
    }
};

TEST_F(KpkTest, TextbookPositions) {
    // The king on a key square wins whoever moves.
    EXPECT_TRUE(win("d6", "d8", "d4", true));
    EXPECT_TRUE(win("d6", "d8", "d4", false));
    EXPECT_TRUE(win("e6", "e8", "e5", true));
    EXPECT_TRUE(win("e6", "e8", "e5", false));

    // Opposition: the side to move loses it. Won with Black to move, drawn with White to move,
    // so a win with the defender to move does not imply a win with the attacker to move.
    EXPECT_FALSE(win("d5", "d7", "d4", true));
    EXPECT_TRUE(win("d5", "d7", "d4", false));

    // The defending king in front of a rook's pawn holds.
    EXPECT_FALSE(win("c5", "a8", "a4", true));
    EXPECT_FALSE(win("c5", "a8", "a4", false));
    EXPECT_FALSE(win("b6", "a8", "a5", true));
    EXPECT_FALSE(win("b6", "a8", "a5", false));

    // Stalemate traps.
    EXPECT_FALSE(win("e6", "e8", "e7", false));
    EXPECT_TRUE(win("e6", "e8", "e7", true));
    EXPECT_FALSE(win("b6", "a8", "a7", false));
    EXPECT_FALSE(win("c7", "a8", "a7", false));

    // Only promoting to a rook wins: c8=Q is stalemate.
    EXPECT_TRUE(win("a5", "a7", "c7", true));
    EXPECT_TRUE(win("h5", "h7", "f7", true));
}

TEST_F(KpkTest, RuleOfTheSquare) {
    // The defending king catches the pawn if it can reach the queening square, or a square
    // next to it when the pawn queens, in time.
    EXPECT_FALSE(win("h1", "d5", "a5", true));
    EXPECT_FALSE(win("h1", "d5", "a5", false));
    EXPECT_TRUE(win("h1", "e5", "a5", true));
    EXPECT_FALSE(win("h1", "e5", "a5", false));
    EXPECT_TRUE(win("h1", "f5", "a5", false));
    // The double step: five moves from a2, so a king six moves away is too late with White to move.
    EXPECT_TRUE(win("h8", "g2", "a2", true));
    EXPECT_FALSE(win("h8", "g2", "a2", false));
    EXPECT_TRUE(win("h8", "h2", "a2", false));

    // In general: nothing in the pawn's way and the king outside the square wins.
    for (Square pawn = A2; pawn <= H7; ++pawn) {
        const Square queening = makeSquare(fileOf(pawn), 7);
        const int moves = 7 - rankOf(pawn) - (rankOf(pawn) == 1);
        for (Square wk = 0; wk < 64; ++wk)
            for (Square bk = 0; bk < 64; ++bk) {
                if (fileOf(wk) == fileOf(pawn) && rankOf(wk) > rankOf(pawn)) continue;
                const int d = distance(bk, queening);
                if (legal(wk, bk, pawn, true) && d > moves) {
                    ASSERT_TRUE(kpkWin(wk, bk, pawn, true));
                }
                if (!legal(wk, bk, pawn, false) || d <= moves + 1) continue;
                bool stalemated = !pawnAttacks(pawn, bk);
                for (Square to = 0; to < 64; ++to)
                    if (distance(to, bk) == 1 && distance(to, wk) >= 2 && !pawnAttacks(pawn, to))
                        stalemated = false;
                // A king behind the pawn may still take it at once.
                const bool takes = distance(bk, pawn) == 1 && distance(wk, pawn) > 1;
                ASSERT_EQ(kpkWin(wk, bk, pawn, false), !stalemated && !takes)
                    << wk << " " << bk << " " << pawn;
            }
    }
}

TEST_F(KpkTest, IllegalPositionsAreNeverWins) {
    for (int view = 0; view < 2; ++view)
        for (Square wk = 0; wk < 64; ++wk)
            for (Square bk = 0; bk < 64; ++bk)
                for (Square pawn = A2; pawn <= H7; ++pawn)
                    if (!legal(wk, bk, pawn, view == 1)) {
                        ASSERT_FALSE(kpkWin(wk, bk, pawn, view == 1));
                    }
    EXPECT_FALSE(kpkWin(D6, D8, D1, true));
    EXPECT_FALSE(kpkWin(D6, D8, D8, true));
}

TEST_F(KpkTest, FilesMirror) {
    for (int view = 0; view < 2; ++view)
        for (Square wk = 0; wk < 64; ++wk)
            for (Square bk = 0; bk < 64; ++bk)
                for (Square pawn = A2; pawn <= H7; ++pawn)
                    ASSERT_EQ(kpkWin(wk, bk, pawn, view == 1),
                              kpkWin(mirrorFile(wk), mirrorFile(bk), mirrorFile(pawn), view == 1));
}

TEST_F(KpkTest, AgreesWithReferenceSolver) {
    std::memset(ReferenceWin, 0, sizeof(ReferenceWin));
    // Files a-d; the other half mirrors them.
    for (int file = 0; file < 4; ++file) solveReferenceFile(file);
    for (int view = 0; view < 2; ++view)
        for (Square wk = 0; wk < 64; ++wk)
            for (Square bk = 0; bk < 64; ++bk)
                for (Square pawn = A2; pawn <= H7; ++pawn) {
                    if (fileOf(pawn) >= 4) continue;
                    ASSERT_EQ(kpkWin(wk, bk, pawn, view == 1), ReferenceWin[view][wk][bk][pawn] != 0)
                        << "view " << view << " wk " << wk << " bk " << bk << " pawn " << pawn;
                }
}
