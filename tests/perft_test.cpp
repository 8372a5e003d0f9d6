#include <gtest/gtest.h>

#include "board_fixture.h"
#include "movegen/perft.h"
#include "test_positions.h"

namespace {

struct PerftCase {
    const char* fen;
    int depth;
    uint64_t nodes;
};

void expectCounts(const PerftCase* cases, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        Position& pos = setUp(cases[i].fen);
        EXPECT_EQ(perft(pos, cases[i].depth), cases[i].nodes) << cases[i].fen << " depth " << cases[i].depth;
    }
}

}  // namespace

// Small depths of the well-known positions: castling, en passant, promotions, pins and checks.
TEST(Perft, SmallDepths) {
    const PerftCase cases[] = {
        {StartFen, 1, 20},     {StartFen, 3, 8902},     {Kiwipete, 1, 48},        {Kiwipete, 2, 2039},
        {Kiwipete, 3, 97862},  {RookAndPawns, 3, 2812}, {RookAndPawns, 4, 43238}, {Promotions, 1, 6},
        {Promotions, 3, 9467}, {PawnOnD7, 1, 44},       {PawnOnD7, 2, 1486},      {PawnOnD7, 3, 62379},
        {Symmetric, 1, 46},    {Symmetric, 2, 2079},    {Symmetric, 3, 89890},
    };
    expectCounts(cases, std::size(cases));
}

// The same positions with colours reversed must give the same counts.
TEST(Perft, MirroredPositions) {
    const PerftCase cases[] = {
        {"r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", 3, 9467},
        {"8/4p1p1/8/1r3P1K/kp5R/3P4/2P5/8 b - - 0 1", 4, 43238},
    };
    expectCounts(cases, std::size(cases));
}

TEST(Perft, DepthZeroAndClamp) {
    Position& pos = setUp(StartFen);
    EXPECT_EQ(perft(pos, 0), 1u);
    EXPECT_EQ(perft(pos, -5), 1u);
}

TEST(PerftSlow, StartPositionDepth5) {
    const PerftCase cases[] = {{StartFen, 5, 4865609}};
    expectCounts(cases, std::size(cases));
}

TEST(PerftSlow, KnownPositionsDeep) {
    const PerftCase cases[] = {
        {Kiwipete, 4, 4085603}, {RookAndPawns, 5, 674624}, {Promotions, 4, 422333},
        {PawnOnD7, 4, 2103487}, {Symmetric, 4, 3894594},
    };
    expectCounts(cases, std::size(cases));
}
