// Whole commands executed in this process the way the command loop executes them: the
// real start-up, "position", "go", "setoption", "perft" and "eval" through executeCommand,
// with what they print caught from standard output.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "search/driver.h"
#include "search_harness.h"
#include "shell/command.h"
#include "shell/engine.h"
#include "shell/flags.h"
#include "shell/params.h"
#include "smp/threads.h"

namespace {

const char* const Middlegame = "r1bq1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 0 1";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool startsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

// The word after " key " in an output line ("" when absent).
std::string wordAfter(const std::string& line, const std::string& key) {
    const size_t at = line.find(" " + key + " ");
    if (at == std::string::npos) return "";
    const size_t begin = at + key.size() + 2;
    return line.substr(begin, line.find(' ', begin) - begin);
}

// What one search printed: its "bestmove" and the last principal variation before it.
struct Report {
    std::string best;            // the move of the "bestmove" line
    std::string info;            // the last "info multipv 1" line
    std::string score() const {  // "cp 12" or "mate 3"
        const std::string kind = info.find(" score mate ") != std::string::npos ? "mate" : "cp";
        return kind + " " + wordAfter(info, kind);
    }
    int cp() const { return std::atoi(wordAfter(info, "cp").c_str()); }
    std::string pv() const {
        const size_t at = info.find(" pv ");
        return at == std::string::npos ? "" : info.substr(at + 4);
    }
};

Report reportOf(const std::string& output) {
    Report r;
    for (const std::string& line : linesOf(output)) {
        if (startsWith(line, "info multipv 1 ")) r.info = line;
        if (startsWith(line, "bestmove ")) r.best = line.substr(9, line.find(' ', 9) - 9);
    }
    return r;
}

std::set<std::string> legalMoveTexts(Position& pos) {
    Move moves[MaxMoves];
    const int n = legalMoves(pos, moves);
    std::set<std::string> texts;
    for (int i = 0; i < n; ++i) {
        char text[8];
        texts.insert(moveToText(moves[i], text));
    }
    return texts;
}

// Threads of this process, as the system lists them.
int processThreads() {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) n += entry->d_name[0] != '.';
        closedir(dir);
    }
    return n;
}

// Waits until the process runs the expected number of threads (an ended thread may take
// a moment to leave the list); returns the last count seen.
int threadsSettleAt(int expected) {
    int n = processThreads();
    for (int k = 0; k < 2000 && n != expected; ++k) {
        usleep(1000);
        n = processThreads();
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
// starts with a king move.
TEST_F(CommandPath, RepetitionOfAGamePositionDependsOnTheClock) {
    const std::string once = "fen 6n1/4k3/8/8/8/8/8/3QK1N1 b - - 0 1 moves e7e8 g1f3 g8f6 f3g1";
    const std::string twice = once + " f6g8 g1f3 g8f6 f3g1";

    Report r = search(once, "go wtime 500 btime 500");
    EXPECT_EQ(r.best, "f6g8");
    EXPECT_EQ(r.score(), "cp 0") << r.info;

    run({"ucinewgame"});
    r = search(once, "go depth 6");
    EXPECT_NE(r.best, "f6g8");
    EXPECT_LT(r.cp(), -500) << r.info;

    run({"ucinewgame"});
    r = search(twice, "go depth 6");
    EXPECT_EQ(r.best, "f6g8");
    EXPECT_EQ(r.score(), "cp 0") << r.info;
}

// Black is lost, but after 98 plies of the FEN and one reversible move every reply of
// Black's reaches the hundredth ply: a draw with or without a clock.
TEST_F(CommandPath, FiftyMoveCounterOfThePositionDraws) {
    const std::string lost = "fen 4k1n1/8/8/8/8/8/P7/3QK1N1 w - - %d 80 moves g1f3";
    auto withCounter = [&](int plies) {
        std::string text = lost;
        text.replace(text.find("%d"), 2, std::to_string(plies));
        return text;
    };
    for (const char* go : {"go wtime 500 btime 500", "go depth 5"}) {
        run({"ucinewgame"});
        Report r = search(withCounter(98), go);
        EXPECT_EQ(r.score(), "cp 0") << go << ": " << r.info;
        run({"ucinewgame"});
        r = search(withCounter(0), go);
        EXPECT_LT(r.cp(), -500) << go << ": " << r.info;
    }
}

// A new table size leaves no entry, history or learned gain behind: the same search costs
// as many nodes as on the fresh tables. Without it, the repeated search is cheaper.
TEST_F(CommandPath, HashOptionClearsWhatTheLastSearchLeft) {
    const std::string position = std::string("fen ") + Middlegame;
    auto nodes = [&] { return std::stoull(wordAfter(search(position, "go depth 7").info, "nodes")); };
    run({"setoption name Hash value 32"});
    const uint64_t fresh = nodes();
    EXPECT_LT(nodes(), fresh);
    run({"setoption name Hash value 8", "setoption name Hash value 32"});
    EXPECT_EQ(nodes(), fresh);
}

// "Threads" restarts the search threads: a worker thread per search thread after the
// first, and workers take part in the next search. The processor count caps it.
TEST_F(CommandPath, ThreadsOptionChangesTheRunningSearchThreads) {
    const int alone = processThreads();  // this thread, the poll thread and one search thread
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
        EXPECT_EQ(legalMoveTexts(rootPosition).count(r.best), 1u) << r.best;
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
    std::set<std::string> deepest;  // the lines of the last iteration, each with its own move
    for (const std::string& line : linesOf(run({"position startpos", "go depth 4"})))
        if (wordAfter(line, "depth") == "4")
            deepest.insert(wordAfter(line, "multipv") + " " + wordAfter(line, "pv"));
    std::set<std::string> indexes, moves;
    for (const std::string& entry : deepest) {
        indexes.insert(entry.substr(0, entry.find(' ')));
        moves.insert(entry.substr(entry.find(' ') + 1));
    }
    EXPECT_EQ(indexes.size(), 10u);
    EXPECT_GE(moves.size(), 10u);

    // Kg1, gxh3 and hxg3 are White's only moves.
    const auto lines = linesOf(run({"position fen k7/8/8/8/8/6pp/6PP/7K w - - 0 1", "go depth 5"}));
    ASSERT_GE(lines.size(), 4u);
    ASSERT_TRUE(startsWith(lines.back(), "bestmove "));
    for (const std::string& line : lines) {
        if (!startsWith(line, "info multipv ")) continue;
        const int index = std::atoi(wordAfter(line, "multipv").c_str());
        EXPECT_TRUE(index >= 1 && index <= 3) << line;
    }
    std::set<std::string> firstMoves;
    int previousScore = 100000;
    for (size_t i = lines.size() - 4; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_TRUE(startsWith(line, "info multipv " + std::to_string(i - (lines.size() - 4) + 1) + " "))
            << line;
        EXPECT_EQ(wordAfter(line, "depth"), "5") << line;
        firstMoves.insert(wordAfter(line, "pv"));
        const int score = std::atoi(wordAfter(line, "cp").c_str());
        EXPECT_LE(score, previousScore) << line;
        previousScore = score;
    }
    EXPECT_EQ(firstMoves, (std::set<std::string>{"h1g1", "g2h3", "h2g3"}));
}

// Promotion letters through the move list, and as the engine writes them: a knight
// promotion that mates (for either side) and a queen promotion that mates.
TEST_F(CommandPath, PromotionMovesInPositionBestmoveAndPv) {
    struct Made {
        const char* command;
        Square to;
        uint8_t piece;
    };
    const Made made[] = {
        {"fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8n", A8, WhiteKnight},
        {"fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8r", A8, WhiteRook},
        {"fen r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7a8q", A8, WhiteQueen},
        {"fen 4k3/8/8/8/8/8/p7/4K3 b - - 0 1 moves a2a1n", A1, BlackKnight},
        {"fen 4k3/8/8/8/8/8/p7/4K3 b - - 0 1 moves a2a1b", A1, BlackDarkBishop},
    };
    for (const Made& m : made) {
        run({std::string("position ") + m.command});
        EXPECT_EQ(rootPosition.board[m.to], m.piece) << m.command;
        EXPECT_EQ(rootPosition.board[A2] | rootPosition.board[A7] | rootPosition.board[B7], 0) << m.command;
    }
    // A capital letter names no promotion: the word is skipped.
    run({"position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8Q"});
    EXPECT_EQ(rootPosition.board[A7], WhitePawn);

    const std::pair<const char*, const char*> mates[] = {
        {"fen 6nb/5Ppk/6pp/8/8/8/8/K7 w - - 0 1", "f7f8n"},
        {"fen k7/8/8/8/8/6PP/5pPK/6NB b - - 0 1", "f2f1n"},
        {"fen 8/4KPkp/6p1/8/8/8/8/8 w - - 0 1", "f7f8q"},
    };
    for (const auto& [position, move] : mates) {
        const Report r = search(position, "go depth 3");
        EXPECT_EQ(r.best, move) << position;
        EXPECT_EQ(r.score(), "mate 1") << r.info;
        EXPECT_EQ(r.pv(), move) << r.info;
    }
}

// A rook captured on its corner takes that side's castling right with it; an en-passant
// capture that would uncover the own king, along a rank or a diagonal, is refused.
TEST_F(CommandPath, MoveListRefusesCastlingWithoutItsRookAndPinnedEnPassant) {
    const std::string corners = "position fen r3k2r/6b1/8/8/8/8/6B1/R3K2R w KQkq - 0 1 moves g2a8";
    run({corners + " e8c8"});
    EXPECT_EQ(rootPosition.board[E8], BlackKing);
    EXPECT_EQ(rootPosition.sideToMove, Black);
    EXPECT_EQ(rootPosition.state->castling, 1 | 2 | 4);
    run({corners + " e8g8"});
    EXPECT_EQ(rootPosition.board[G8], BlackKing);
    EXPECT_EQ(rootPosition.board[F8], BlackRook);
    run({corners + " g7a1 e1c1"});
    EXPECT_EQ(rootPosition.board[E1], WhiteKing);
    EXPECT_EQ(rootPosition.sideToMove, White);
    EXPECT_EQ(rootPosition.state->castling, 1 | 4);
    run({corners + " g7a1 e1g1"});
    EXPECT_EQ(rootPosition.board[G1], WhiteKing);

    // Along the fifth rank the rook on h5 would see the king on a5 once both pawns are gone.
    run({"position fen 6k1/4p3/8/K2P3r/8/8/8/8 b - - 0 1 moves e7e5 d5e6"});
    EXPECT_EQ(rootPosition.board[D5], WhitePawn);
    EXPECT_EQ(rootPosition.board[E5], BlackPawn);
    EXPECT_EQ(rootPosition.sideToMove, White);
    run({"position fen 6k1/4p3/8/K2P4/7r/8/8/8 b - - 0 1 moves e7e5 d5e6"});
    EXPECT_EQ(rootPosition.board[E6], WhitePawn);
    EXPECT_EQ(rootPosition.board[E5], 0);
    // The pawn on e5 is pinned by the bishop on g7 to the king on c3.
    run({"position fen 7k/3p2b1/8/4P3/8/2K5/8/8 b - - 0 1 moves d7d5 e5d6"});
    EXPECT_EQ(rootPosition.board[E5], WhitePawn);
    EXPECT_EQ(rootPosition.board[D5], BlackPawn);
    EXPECT_EQ(rootPosition.sideToMove, White);
    run({"position fen 7k/3p4/8/4P3/8/2K5/8/6b1 b - - 0 1 moves d7d5 e5d6"});
    EXPECT_EQ(rootPosition.board[D6], WhitePawn);
    EXPECT_EQ(rootPosition.board[D5], 0);
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
    const int white = std::atoi(wordAfter(out, "white").c_str());
    ASSERT_NE(white, 0) << out;
    EXPECT_EQ(out,
              "info string eval white " + std::to_string(white) + " stm " + std::to_string(-white) + "\n");
    EXPECT_EQ(run({"position fen rnbqkb1r/pppppppp/5n2/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 1 1", "eval"}),
              "info string eval white " + std::to_string(-white) + " stm " + std::to_string(-white) + "\n");
}
