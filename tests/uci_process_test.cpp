// The binary as a GUI sees it, on every system it is built for: perft counts and a
// fixed-depth search through the command loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/fen.h"
#include "engine_process.h"
#include "test_positions.h"

TEST(UciProcessSlow, PerftOfTheSixStandardPositionsAtDepthFour) {
    struct Case {
        const char* fen;
        const char* nodes;
    };
    const Case cases[] = {
        {StartFen, "197281"},   {Kiwipete, "4085603"}, {RookAndPawns, "43238"},
        {Promotions, "422333"}, {PawnOnD7, "2103487"}, {Symmetric, "3894594"},
    };
    EngineProcess engine;
    engine.skipBanner();
    for (const Case& c : cases) {
        engine.send(std::string("position fen ") + c.fen);
        engine.send("perft 4");
        EXPECT_EQ(engine.waitFor("Nodes searched", 60000), std::string("Nodes searched: ") + c.nodes)
            << c.fen;
    }
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(UciProcess, DepthTenSearchFromTheStartFindsAMove) {
    EngineProcess engine;
    engine.skipBanner();
    engine.send("setoption name Hash value 16");
    engine.send("position startpos");
    engine.send("go depth 10");
    std::vector<std::string> lines;
    const auto best = engine.waitFor("bestmove", 120000, &lines);
    ASSERT_TRUE(best);
    EXPECT_NE(lines.size(), 1u);  // info lines came first
    // A move of White's from the first two ranks to the third or fourth.
    ASSERT_GE(best->size(), 13u);
    EXPECT_TRUE((*best)[10] == '1' || (*best)[10] == '2') << *best;
    EXPECT_TRUE((*best)[12] == '3' || (*best)[12] == '4') << *best;
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}
