// Whole commands executed in this process the way the command loop executes them: the
// real start-up, "position", "go", "setoption", "perft" and "eval" through executeCommand,
// with what they print caught from standard output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "board/position.h"
#include "core/flags.h"
#include "core/params.h"
#include "engine_process.h"
#include "search/driver.h"
#include "search_harness.h"
#include "shell/command.h"
#include "shell/engine.h"
#include "smp/threads.h"
#include "test_positions.h"

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// What one search printed: its "bestmove" and the last principal variation before it.
struct Report {
    std::string best;            // the move of the "bestmove" line
    std::string info;            // the last "info multipv 1" line
    std::string score() const {  // "cp 12" or "mate 3"
        const std::string kind = wordAfter(info, "score");
        return kind + " " + wordAfter(info, kind);
    }
    long long cp() const { return numberAfter(info, "cp"); }
};

Report reportOf(const std::string& output) {
    Report r;
    for (const std::string& line : linesOf(output)) {
        if (startsWith(line, "info multipv 1 ")) r.info = line;
        if (startsWith(line, "bestmove ")) r.best = moveOf(line);
    }
    return r;
}

// Waits until the process runs the expected number of threads (an ended thread may take
// a moment to leave the list); returns the last count seen.
int threadsSettleAt(int expected) {
    int n = threadsOf(getpid());
    for (int k = 0; k < 2000 && n != expected; ++k) {
        usleep(1000);
        n = threadsOf(getpid());
    }
    return n;
}

}  // namespace

// The engine started once in this process. Standard input is a pipe that stays silent, so
// the poll thread finds no input during a search; standard output is caught per call.
class CommandPath : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        savedInput = dup(0);
        dup2(fds[0], 0);
        close(fds[0]);
        silentInput = fds[1];
        inputClosed = 0;
        static const bool started = [] {
            testing::internal::CaptureStdout();
            startUp();
            testing::internal::GetCapturedStdout();
            return true;
        }();
        (void)started;
        processorCountOverride = 0;
        optionThreads = 0;  // so that the option below always restarts the threads
        run({"setoption name Threads value 1", "setoption name Hash value 16",
             "setoption name MultiPV value 1", "setoption name Ponder value false", "ucinewgame"});
    }
    void TearDown() override {
        dup2(savedInput, 0);
        close(savedInput);
        close(silentInput);
        processorCountOverride = 0;
    }

    std::string run(std::initializer_list<std::string> commands) {
        testing::internal::CaptureStdout();
        for (const std::string& c : commands) executeCommand(rootPosition, c.c_str());
        return testing::internal::GetCapturedStdout();
    }
    Report search(const std::string& position, const std::string& go) {
        return reportOf(run({"position " + position, go}));
    }

    int savedInput = -1;
    int silentInput = -1;
};

// Black is a queen down and can only hold by playing Nf6-g8 back into a position of the
// game. Under a clock one earlier occurrence is a draw; without a clock only a position
// that already occurred twice is. The first record of a FEN never counts, so the line
// starts with a king move. Later Black is lost again, but after 98 plies of the FEN and one
// reversible move every reply reaches the hundredth ply: a draw with or without a clock.
TEST_F(CommandPath, DrawsByTheGameHistory) {
    const std::string once = "fen 6n1/4k3/8/8/8/8/8/3QK1N1 b - - 0 1 moves e7e8 g1f3 g8f6 f3g1";
    const std::string twice = once + " f6g8 g1f3 g8f6 f3g1";
    // The position the FEN sets up counts like any other position of the game.
    const std::string toTheSetUp = "fen 4k1n1/8/8/8/8/8/8/3QK1N1 w - - 0 1 moves g1f3 g8f6 f3g1";
    const struct {
        std::string position, go;
        bool draw;
    } cases[] = {
        {once, "go wtime 500 btime 500", true},
        {toTheSetUp, "go wtime 500 btime 500", true},
        {once, "go depth 6", false},
        {twice, "go depth 6", true},
        {"fen 4k1n1/8/8/8/8/8/P7/3QK1N1 w - - 98 80 moves g1f3", "go wtime 500 btime 500", true},
        {"fen 4k1n1/8/8/8/8/8/P7/3QK1N1 w - - 98 80 moves g1f3", "go depth 5", true},
        {"fen 4k1n1/8/8/8/8/8/P7/3QK1N1 w - - 0 80 moves g1f3", "go depth 5", false},
    };
    for (const auto& c : cases) {
        run({"ucinewgame"});
        const Report r = search(c.position, c.go);
        if (c.draw) {
            EXPECT_EQ(r.score(), "cp 0") << c.position << ", " << c.go << ": " << r.info;
        } else {
            EXPECT_LT(r.cp(), -500) << c.position << ", " << c.go << ": " << r.info;
        }
        if (c.position == once || c.position == twice || c.position == toTheSetUp) {
            EXPECT_EQ(r.best == "f6g8", c.draw) << r.best;
        }
    }
    // A new hash size draws new keys; a search without a new "position" still knows the game.
    run({"ucinewgame", "position " + twice, "setoption name Hash value 32"});
    const Report r = reportOf(run({"go depth 6"}));
    EXPECT_EQ(r.score(), "cp 0") << r.info;
    EXPECT_EQ(r.best, "f6g8");
}

// A new table size leaves no entry, history or learned gain behind: the same search costs
// as many nodes as on the fresh tables. Without it, the repeated search is cheaper.
TEST_F(CommandPath, HashOptionClearsWhatTheLastSearchLeft) {
    const std::string position = std::string("fen ") + Middlegame;
    auto nodes = [&] { return numberAfter(search(position, "go depth 7").info, "nodes"); };
    run({"setoption name Hash value 32"});
    const long long fresh = nodes();
    EXPECT_LT(nodes(), fresh);
    run({"setoption name Hash value 8", "setoption name Hash value 32"});
    EXPECT_EQ(nodes(), fresh);
}

// "Threads" restarts the search threads: a worker thread per search thread after the
// first, and workers take part in the next search. The processor count caps it.
TEST_F(CommandPath, ThreadsOptionChangesTheRunningSearchThreads) {
    const int alone = threadsSettleAt(2);  // this thread (the one search thread) and the poll thread
    processorCountOverride = 4;
    const std::string position = std::string("fen ") + Middlegame;
    for (int threads : {3, 1, 12, 2}) {
        run({"setoption name Threads value " + std::to_string(threads)});
        const int expected = std::min(threads, 4);
        EXPECT_EQ(runningThreads, expected);
        EXPECT_EQ(threadsSettleAt(alone + expected - 1), alone + expected - 1) << threads << " threads";
        if (threads == 1) continue;
        run({"ucinewgame"});
        const Report r = search(position, "go depth 9");
        const std::vector<std::string> legal = legalMoveTexts(rootPosition);
        EXPECT_EQ(std::count(legal.begin(), legal.end(), r.best), 1) << r.best;
        uint64_t helped = 0;
        for (int t = 1; t < expected; ++t)
            for (Slot& slot : slots[t]) helped += slot.position.nodes;
        EXPECT_GT(helped, 0u) << expected << " threads";
    }
}

// More lines than legal moves: one line per move, no line left over from an earlier search
// with more moves, and the last report lists the lines best first.
TEST_F(CommandPath, MultiPVBeyondTheLegalMovesReportsEveryMoveOnce) {
    run({"setoption name MultiPV value 10"});
    std::set<std::string> indexes, moves;  // of the lines of the last iteration
    for (const std::string& line : linesOf(run({"position startpos", "go depth 4"}))) {
        if (wordAfter(line, "depth") != "4") continue;
        indexes.insert(wordAfter(line, "multipv"));
        moves.insert(wordAfter(line, "pv"));
    }
    EXPECT_EQ(indexes.size(), 10u);
    EXPECT_GE(moves.size(), 10u);

    // Kg1, gxh3 and hxg3 are White's only moves.
    const auto lines = linesOf(run({"position fen k7/8/8/8/8/6pp/6PP/7K w - - 0 1", "go depth 5"}));
    ASSERT_GE(lines.size(), 4u);
    ASSERT_TRUE(startsWith(lines.back(), "bestmove "));
    for (const std::string& line : lines)
        EXPECT_TRUE(startsWith(line, "bestmove ") || numberAfter(line, "multipv") <= 3) << line;
    moves.clear();
    long long previousScore = 100000;
    for (int i = 1; i <= 3; ++i) {
        const std::string& line = lines[lines.size() - 5 + i];
        EXPECT_TRUE(startsWith(line, "info multipv " + std::to_string(i) + " ")) << line;
        EXPECT_EQ(wordAfter(line, "depth"), "5") << line;
        moves.insert(wordAfter(line, "pv"));
        EXPECT_LE(numberAfter(line, "cp"), previousScore) << line;
        previousScore = numberAfter(line, "cp");
    }
    EXPECT_EQ(moves, (std::set<std::string>{"h1g1", "g2h3", "h2g3"}));
}

// Move words of the position command: promotions by their letter; no castling on a side
// whose rook was captured on its corner; no en-passant capture that uncovers the own king
// along a rank (the rook on h5 sees a5 once both pawns are gone) or a diagonal (the bishop
// on g7 pins e5 to c3). The control cases play the same words without the obstacle.
TEST_F(CommandPath, MoveWordsOfThePositionCommand) {
    const std::string pawnOnA7 = "fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves ";
    const std::string corners = "fen r3k2r/6b1/8/8/8/8/6B1/R3K2R w KQkq - 0 1 moves g2a8 ";
    const struct {
        std::string position;
        Square square;
        uint8_t piece;
        Side toMove;  // afterwards: tells whether the last word was made
    } cases[] = {
        {pawnOnA7 + "a7a8n", A8, WhiteKnight, Black},
        {pawnOnA7 + "a7a8b", A8, WhiteLightBishop, Black},
        {pawnOnA7 + "a7a8r", A8, WhiteRook, Black},
        {pawnOnA7 + "a7a8q", A8, WhiteQueen, Black},
        {pawnOnA7 + "a7a8", A7, WhitePawn, White},  // a promotion needs its letter
        {pawnOnA7 + "a7a8Q", A7, WhitePawn, White},
        {"fen r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7a8q", A8, WhiteQueen, Black},
        {"fen 4k3/8/8/8/8/8/p7/4K3 b - - 0 1 moves a2a1n", A1, BlackKnight, White},
        {"fen 4k3/8/8/8/8/8/p7/4K3 b - - 0 1 moves a2a1b", A1, BlackDarkBishop, White},
        {corners + "e8c8", E8, BlackKing, Black},
        {corners + "e8g8", G8, BlackKing, White},
        {corners + "g7a1 e1c1", E1, WhiteKing, White},
        {corners + "g7a1 e1g1", G1, WhiteKing, Black},
        {"fen 6k1/4p3/8/K2P3r/8/8/8/8 b - - 0 1 moves e7e5 d5e6", E5, BlackPawn, White},
        {"fen 6k1/4p3/8/K2P4/7r/8/8/8 b - - 0 1 moves e7e5 d5e6", E6, WhitePawn, Black},
        {"fen 7k/3p2b1/8/4P3/8/2K5/8/8 b - - 0 1 moves d7d5 e5d6", D5, BlackPawn, White},
        {"fen 7k/3p4/8/4P3/8/2K5/8/6b1 b - - 0 1 moves d7d5 e5d6", D6, WhitePawn, Black},
    };
    for (const auto& c : cases) {
        run({"position " + c.position});
        EXPECT_EQ(rootPosition.board[c.square], c.piece) << c.position;
        EXPECT_EQ(rootPosition.sideToMove, c.toMove) << c.position;
    }
}

// Promotions as the engine writes them in "bestmove" and "pv": a knight promotion that mates
// (for either side) and a queen promotion that mates.
TEST_F(CommandPath, PromotionsInBestmoveAndPv) {
    const std::pair<std::string, const char*> mates[] = {
        {"fen 6nb/5Ppk/6pp/8/8/8/8/K7 w - - 0 1", "f7f8n"},
        {"fen k7/8/8/8/8/6PP/5pPK/6NB b - - 0 1", "f2f1n"},
        {std::string("fen ") + MateInOne, "f7f8q"},
    };
    for (const auto& [position, move] : mates) {
        const Report r = search(position, "go depth 3");
        EXPECT_EQ(r.best, move) << position;
        EXPECT_EQ(r.score(), "mate 1") << r.info;
        EXPECT_EQ(wordsAfter(r.info, "pv"), std::vector<std::string>{move}) << r.info;
    }
}

// "perft" and "eval" work on the root as the position command left it, moves included.
TEST_F(CommandPath, PerftAndEvalSeeTheMovesOfThePositionCommand) {
    const auto perft = linesOf(run({"position startpos moves e2e4", "perft 3"}));
    ASSERT_EQ(perft.size(), 22u);
    EXPECT_EQ(perft[20], "");
    EXPECT_EQ(perft[21], "Nodes searched: 13160");
    std::set<std::string> moves;
    for (int i = 0; i < 20; ++i) moves.insert(perft[i].substr(0, perft[i].find(':')));
    EXPECT_EQ(moves.count("e7e5") + moves.count("g8f6") + moves.count("b8c6"), 3u);
    EXPECT_EQ(run({"perft"}), "");  // no depth: not a command
    EXPECT_EQ(run({"position fen 8/8/8/8/8/8/8/K7 w - - 0 1", "perft 2"}), "\nNodes searched: 0\n");

    // After 1.Nf3 Black is to move; the colour mirror, 1...Nf6 with White to move, has the
    // opposite value for White and the same value for the side to move.
    const std::string out = run({"position startpos moves g1f3", "eval"});
    const long long white = numberAfter(out, "white");
    ASSERT_NE(white, 0) << out;
    EXPECT_EQ(out,
              "info string eval white " + std::to_string(white) + " stm " + std::to_string(-white) + "\n");
    EXPECT_EQ(run({"position fen rnbqkb1r/pppppppp/5n2/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 1 1", "eval"}),
              "info string eval white " + std::to_string(-white) + " stm " + std::to_string(-white) + "\n");
}
