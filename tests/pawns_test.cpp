#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "eval_fixture.h"
#include "test_positions.h"

namespace {

class PawnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildEvalTables();
        clearPawnHash();
    }
    static PawnHashEntry pawnEntry(const std::string& fen) {
        Position& pos = setUp(fen);
        PawnHashEntry entry;
        evaluatePawns(pos, entry);
        return entry;
    }
};

::testing::AssertionResult scoreIs(Score s, int mg, int eg) {
    if (mgOf(s) == mg && egOf(s) == eg) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "score is (" << mgOf(s) << ", " << egOf(s) << "), expected (" << mg << ", " << eg << ")";
}

TEST_F(PawnsTest, NoPawnsLeaveOnlyCastlingTerms) {
    PawnHashEntry e = pawnEntry("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(scoreIs(e.pawnScore, 0, 0));
    EXPECT_EQ(e.whiteDrawWeight, 36);
    EXPECT_EQ(e.blackDrawWeight, 36);
    EXPECT_EQ(e.openFiles, 8);
    EXPECT_EQ(e.whitePassedFiles | e.blackPassedFiles, 0);

    // Two White rights and one Black right; the king-proximity term stays out.
    e = pawnEntry("r3k2r/8/8/8/8/8/8/R3K2R w KQk - 0 1");
    EXPECT_TRUE(scoreIs(e.pawnScore, 5, 0));
    EXPECT_EQ(e.whiteDrawWeight, 36);
    EXPECT_EQ(e.blackDrawWeight, 36);
    // Bare king on e1: 30 + 55 + 30 for the missing pawns, 4 for the diagonal, 25 of storm;
    // the king-side castle would be worse (148 + 5), the queen-side not better.
    EXPECT_EQ(e.whiteShelter, 144 * 65536);
}

TEST_F(PawnsTest, LonePawnAndSplitPair) {
    // a2 alone: one island, isolated, passed (all its passer tables are 0 on the second
    // rank); both kings are 24 away.
    PawnHashEntry e = pawnEntry("4k3/8/8/8/8/8/P7/4K3 w - - 0 1");
    EXPECT_TRUE(scoreIs(e.pawnScore, -6 - 14, -2 - 16));
    EXPECT_EQ(e.whitePassedFiles, 0x01);
    EXPECT_EQ(e.whitePawnFiles, 1);
    EXPECT_EQ(e.whitePawnsLight, 1);
    EXPECT_EQ(e.whitePawnsDark, 0);
    EXPECT_EQ(e.whiteDrawWeight, 25);
    EXPECT_EQ(e.blackDrawWeight, 36);

    // a2 and c2: two islands, two isolated passers, one split pair (for c2), and the
    // kings' nearest pawns at 12 (White, c2) and 18 (Black, c2).
    e = pawnEntry("4k3/8/8/8/8/8/P1P5/4K3 w - - 0 1");
    EXPECT_TRUE(scoreIs(e.pawnScore, -12 - 28 - 4, -4 - 32 - 5 + 6));
    EXPECT_EQ(e.whitePassedFiles, 0x05);

    // With a pawn on b3 between them there is no split pair.
    e = pawnEntry("4k3/8/8/8/8/1P6/P1P5/4K3 w - - 0 1");
    EXPECT_EQ(e.whitePassedFiles, 0x07);
}

TEST_F(PawnsTest, CandidatePasserCountsAsPassed) {
    // d5 is opposed only by e6, which attacks it, and is defended once by c4: it is a
    // passer (protected, outside, connected to the passer c4). e6 is an isolated pawn,
    // not passed since d5 attacks it and nothing defends it.
    PawnHashEntry e = pawnEntry("4k3/8/4p3/3P4/2P5/8/8/4K3 w - - 0 1");
    EXPECT_EQ(e.whitePassedFiles, 0x0C);
    EXPECT_EQ(e.blackPassedFiles, 0);
    // c4 (10, 10); d5 (20, 25) + (5, 10) + (2, 5) + (5, 10) + (0, 24 - 60);
    // e6 isolated (14, 16) for White; nearest pawns 15 (White king) and 9 (Black king).
    EXPECT_TRUE(scoreIs(e.pawnScore, 10 + 32 + 14, 10 + 14 + 16 - 6));
    EXPECT_EQ(e.whitePawnsLight, 3 + 5);
    EXPECT_EQ(e.blackPawnsLight, 3);

    // A second Black attacker outnumbers the defender: d5 is no longer passed (nor is c4,
    // with c6 in front of it).
    e = pawnEntry("4k3/8/2p1p3/3P4/2P5/8/8/4K3 w - - 0 1");
    EXPECT_EQ(e.whitePassedFiles, 0);
    // An opponent that does not attack the pawn (e7 ahead on the next file) stops it too.
    e = pawnEntry("4k3/4p3/8/3P4/2P5/8/8/4K3 w - - 0 1");
    EXPECT_EQ(e.whitePassedFiles, 0x04);
}

TEST_F(PawnsTest, KingShelter) {
    {
        Position& pos = setUp("4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1");
        // Intact pawns: 0 + 0 + 0 becomes 10; f2 on the diagonal 0; storm 5 + 10 + 10.
        EXPECT_EQ(kingShelter<White>(pos, G1), 35);
        PawnHashEntry e;
        evaluatePawns(pos, e);
        EXPECT_EQ(e.whiteShelter, 35 * 65536);
    }
    // The same for Black, mirrored.
    EXPECT_EQ(kingShelter<Black>(setUp("6k1/5ppp/8/8/8/8/8/4K3 b - - 0 1"), G8), 35);

    // g3 pushed and met by a pawn on g4: middle file 15, and the storm on the g-file
    // (20 for the fourth rank) halved because it stands right in front of g3.
    EXPECT_EQ(kingShelter<White>(setUp("4k3/8/8/8/6p1/6P1/5P1P/6K1 w - - 0 1"), G1), 15 + 0 + 5 + 10 + 10);

    // Castling rights let the castled square count (plus 5) when it is better: 40, not
    // the 85 + 4 + 25 of the king on e1.
    EXPECT_EQ(pawnEntry("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1").whiteShelter, (35 + 5) * 65536);
}

TEST_F(PawnsTest, PawnHashLock) {
    Position& pos = setUp(Middlegame);
    const uint64_t key = pos.state->pawnKey;
    PawnHashEntry made;
    evaluatePawns(pos, made);
    EXPECT_EQ(made.lock, key);

    PawnHashEntry read;
    readPawnEntry(key, read);
    EXPECT_EQ(read.lock, key);
    EXPECT_EQ(std::memcmp(&read, &made, sizeof read), 0);

    // A change in any of the data words makes the entry fail its check.
    for (int word = 1; word < 4; ++word) {
        uint64_t* slot = pawnSlot(key);
        slot[word] ^= 0x100;
        readPawnEntry(key, read);
        EXPECT_NE(read.lock, key) << "word " << word;
        slot[word] ^= 0x100;
    }
    readPawnEntry(key, read);
    EXPECT_EQ(read.lock, key);
}

}  // namespace
