// What analysts and players use besides the search itself, through the binary: the board
// diagram, "go perft", "Clear Hash" and the Move Overhead.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_process.h"

namespace {

// The "Fen:" and "Key:" lines of "d" on the position set up by the arguments.
std::vector<std::string> displayed(EngineProcess& engine, const std::string& position) {
    engine.send("position " + position);
    engine.send("d");
    std::vector<std::string> lines = engine.linesUntil("Key:");
    std::vector<std::string> fenAndKey;
    for (const std::string& line : lines)
        if (startsWith(line, "Fen: ") || startsWith(line, "Key: ")) fenAndKey.push_back(line);
    return fenAndKey;
}

// The node count of the last report of a search.
long long searchNodes(EngineProcess& engine, const std::string& position, const std::string& go) {
    const std::vector<std::string> lines = engine.search(position, go);
    const std::vector<std::string> reports = pvLines(lines);
    return reports.empty() ? -1 : numberAfter(reports.back(), "nodes");
}

}  // namespace

// "d" shows the board, its FEN with the move counters, and the key; the FEN it writes sets
// up the same position again, with the same key.
TEST(AnalysisProcess, DiagramFenAndKey) {
    StartedEngine engine;
    const struct {
        const char* position;
        const char* fen;
    } Cases[] = {
        {"startpos moves e2e4 c7c5 g1f3", "rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2"},
        {"fen 4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 40 moves e1d2", "4k3/8/8/3pP3/8/8/3K4/8 b - - 1 40"},
        {"fen r3k2r/8/8/8/8/8/8/R3K2R b Kq - 7 12", "r3k2r/8/8/8/8/8/8/R3K2R b Kq - 7 12"},
    };
    for (const auto& c : Cases) {
        const std::vector<std::string> shown = displayed(engine, c.position);
        ASSERT_EQ(shown.size(), 2u) << c.position;
        EXPECT_EQ(shown[0], std::string("Fen: ") + c.fen);
        EXPECT_EQ(displayed(engine, std::string("fen ") + c.fen), shown) << c.position;
    }
    // Chess960 castling squares are written with the rooks' files.
    engine.send("setoption name UCI_Chess960 value true");
    const std::string chess960 = "bqnrkrnb/pppppppp/8/8/8/8/PPPPPPPP/BQNRKRNB w FDfd - 0 1";
    EXPECT_EQ(displayed(engine, "fen " + chess960).at(0), "Fen: " + chess960);
}

// "go perft N" counts as "perft N" does; without a depth it is refused in the same words.
TEST(AnalysisProcess, GoPerftIsPerft) {
    StartedEngine engine;
    engine.send("position startpos moves e2e4");
    for (const char* command : {"perft 3", "go perft 3"}) {
        engine.send(command);
        EXPECT_EQ(engine.waitFor("Nodes searched"), "Nodes searched: 13160") << command;
    }
    engine.send("go perft");
    engine.send("isready");
    const std::vector<std::string> answer = engine.linesUntil("readyok");
    EXPECT_EQ(countPrefix(answer, "info string perft needs a depth"), 1);
    EXPECT_EQ(countBestmoves(answer), 0);
}

// After "Clear Hash" a search counts the nodes it counts in a fresh process: nothing of the
// searches before it is left in the tables.
TEST(AnalysisProcess, ClearHashSearchesAsAFreshProcess) {
    const std::string position = "fen r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
    long long fresh = 0;
    {
        OneThreadEngine engine;
        fresh = searchNodes(engine, position, "go depth 9");
    }
    OneThreadEngine engine;
    searchNodes(engine, "startpos moves e2e4 e7e5 g1f3", "go depth 9");
    const long long warm = searchNodes(engine, position, "go depth 9");
    EXPECT_NE(warm, fresh);  // the tables of the searches before change the count
    engine.send("setoption name Clear Hash");
    EXPECT_EQ(searchNodes(engine, position, "go depth 9"), fresh);
}

// The Move Overhead is kept back from the clock: with nearly all of it kept back, the search
// under the same clock ends long before the one that may use all of it.
TEST(AnalysisProcess, MoveOverheadShortensATimedSearch) {
    OneThreadEngine engine;
    long long ms[2] = {0, 0};
    for (const int overhead : {0, 5000}) {
        engine.send("setoption name Move Overhead value " + std::to_string(overhead));
        const std::vector<std::string> reports =
            pvLines(engine.search("startpos", "go wtime 5050 btime 5050"));
        ASSERT_FALSE(reports.empty());
        ms[overhead ? 1 : 0] = numberAfter(reports.back(), "time");
    }
    EXPECT_GE(ms[0], 100);  // the allocation of the whole clock is 202 ms, of what is left 2 ms
    EXPECT_LT(ms[1] * 2, ms[0]);
}
