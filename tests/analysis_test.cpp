// What analysts and players use besides the search itself, through the binary: the board
// diagram, "go perft", "Clear Hash", the Move Overhead, and what the search reports besides
// its lines: the selective depth, the use of the table and the root move it is on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_process.h"
#include "shell/wdl.h"

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

// Every report carries the selective depth, at least the depth, and the share of the table
// in use, which rises from 0 as a search fills it.
TEST(AnalysisProcess, SeldepthAndHashfull) {
    OneThreadEngine engine;
    const std::vector<std::string> reports = pvLines(engine.search("startpos", "go depth 13"));
    ASSERT_GE(reports.size(), 2u);
    for (const std::string& line : reports) {
        EXPECT_GE(numberAfter(line, "seldepth"), numberAfter(line, "depth")) << line;
        EXPECT_EQ(wordsAfter(line, "hashfull").size() > 0, true) << line;
    }
    EXPECT_EQ(numberAfter(reports.front(), "hashfull"), 0);
    EXPECT_GT(numberAfter(reports.back(), "hashfull"), 0);
    EXPECT_GT(numberAfter(reports.back(), "seldepth"), numberAfter(reports.back(), "depth"));
}

// After three seconds the search names each root move as it begins it, numbered in the
// order of the iteration.
TEST(AnalysisProcess, CurrentMoveOfALongSearch) {
    OneThreadEngine engine;
    engine.send("position startpos moves e2e4");
    engine.send("go infinite");
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.waitFor("info depth ", 30000 * SlowBuildFactor, &lines));
    for (const std::string& line : engine.drain(1500)) lines.push_back(line);
    engine.send("stop");
    for (const std::string& line : engine.linesUntil("bestmove")) lines.push_back(line);
    std::vector<std::string> current;
    for (const std::string& line : lines)
        if (startsWith(line, "info depth ") && wordAfter(line, "currmove") != "") current.push_back(line);
    ASSERT_FALSE(current.empty());
    const std::vector<std::string> legal = {"a7a6", "a7a5", "b7b6", "b7b5", "c7c6", "c7c5", "d7d6",
                                            "d7d5", "e7e6", "e7e5", "f7f6", "f7f5", "g7g6", "g7g5",
                                            "h7h6", "h7h5", "b8a6", "b8c6", "g8f6", "g8h6"};
    for (const std::string& line : current) {
        EXPECT_NE(std::find(legal.begin(), legal.end(), wordAfter(line, "currmove")), legal.end()) << line;
        EXPECT_GE(numberAfter(line, "currmovenumber"), 1) << line;
        EXPECT_LE(numberAfter(line, "currmovenumber"), 20) << line;
    }
    // The root moves of an iteration come in order; a new iteration starts again at 1.
    for (size_t i = 1; i < current.size(); ++i) {
        const long long number = numberAfter(current[i], "currmovenumber");
        if (number != 1) {
            EXPECT_EQ(number, numberAfter(current[i - 1], "currmovenumber") + 1) << current[i];
        }
    }
}

// With UCI_ShowWDL every report carries the expected wins, draws and losses per mille,
// summing to 1000, and a mate gives all of them to one side; without it none does.
TEST(AnalysisProcess, WinDrawLossEstimates) {
    OneThreadEngine engine;
    const struct {
        const char* position;
        bool show;
        const char* lastWdl;  // "" for any
    } Cases[] = {
        {"startpos moves e2e4", false, ""},
        {"startpos moves e2e4", true, ""},
        {"fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 30", true, "1000 0 0"},  // mate in one
        {"fen r7/8/8/8/8/4k1p1/6P1/7K w - - 0 30", true, "0 0 1000"},     // mated after the one move
    };
    for (const auto& c : Cases) {
        engine.send(std::string("setoption name UCI_ShowWDL value ") + (c.show ? "true" : "false"));
        const std::vector<std::string> reports = pvLines(engine.search(c.position, "go depth 8"));
        ASSERT_FALSE(reports.empty()) << c.position;
        for (const std::string& line : reports) {
            const std::vector<std::string> wdl = wordsAfter(line, "wdl");
            if (!c.show) {
                EXPECT_TRUE(wdl.empty()) << line;
                continue;
            }
            ASSERT_GE(wdl.size(), 3u) << line;
            EXPECT_EQ(std::stoi(wdl[0]) + std::stoi(wdl[1]) + std::stoi(wdl[2]), 1000) << line;
            EXPECT_EQ(wdl[3], "depth") << line;  // right after the score and its bound
        }
        if (*c.lastWdl) {
            const std::vector<std::string> wdl = wordsAfter(reports.back(), "wdl");
            EXPECT_EQ(wdl[0] + " " + wdl[1] + " " + wdl[2], c.lastWdl) << reports.back();
        }
    }
}

// The model: the same for both sides, more wins for a better score, and no side ahead at 0.
TEST(Wdl, SymmetricAndRisingWithTheScore) {
    for (const int move : {1, 10, 40, 80, 300}) {
        int previousWin = -1;
        for (int score = -900; score <= 900; score += 30) {
            const Wdl w = wdlOf(score, move);
            EXPECT_EQ(w.win + w.draw + w.loss, 1000) << score << " " << move;
            EXPECT_GE(w.draw, 0) << score << " " << move;
            EXPECT_EQ(w.win, wdlOf(-score, move).loss) << score << " " << move;
            EXPECT_GE(w.win, previousWin) << score << " " << move;
            previousWin = w.win;
        }
        EXPECT_EQ(wdlOf(0, move).win, wdlOf(0, move).loss);
    }
}
