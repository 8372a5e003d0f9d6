// The binary as a GUI sees it, on every system it is built for: perft counts and a
// fixed-depth search through the command loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_process.h"

TEST(UciProcessSlow, PerftOfTheSixStandardPositionsAtDepthFour) {
    struct Case {
        const char* position;
        const char* nodes;
    };
    const Case cases[] = {
        {"startpos", "197281"},
        {"fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", "4085603"},
        {"fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "43238"},
        {"fen r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", "422333"},
        {"fen rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", "2103487"},
        {"fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", "3894594"},
    };
    EngineProcess engine;
    engine.skipBanner();
    for (const Case& c : cases) {
        engine.send(std::string("position ") + c.position);
        engine.send("perft 4");
        EXPECT_EQ(engine.waitFor("Nodes searched", 60000), std::string("Nodes searched: ") + c.nodes)
            << c.position;
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
