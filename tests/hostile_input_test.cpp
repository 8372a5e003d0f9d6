// Input no GUI should send, through the real binary: perft depths that would never end,
// lines far beyond the buffer, endless move lists, impossible FENs, "go" and "setoption"
// without their values, binary bytes. Whatever arrives, the engine says what it refused,
// answers every "go" once and takes the next command.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine_process.h"
#include "search_harness.h"
#include "test_positions.h"

namespace {

// After whatever came before, the engine still searches: a legal move from the start.
void expectAStartPositionMove(EngineProcess& engine) {
    const auto lines = engine.search("startpos", "go depth 1");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(isLegalAfter("startpos", moveOf(lines.back()))) << lines.back();
}

constexpr char PerftRefusal[] = "info string perft needs a depth from 1 to 15";

// Every byte of a string literal, NUL characters included.
template <size_t N>
std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

}  // namespace

TEST(HostileInput, PerftDepthsBeyondFifteenOrNoNumberAreRefused) {
    StartedEngine engine;
    const char* const refused[] = {"perft 16", "perft 99999999999", "perft -3",
                                   "perft 0",  "perft x",           "perft 2x"};
    for (const char* line : refused) engine.send(line);
    engine.send("perft 1");
    const auto lines = engine.linesUntil("Nodes searched");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(countPrefix(lines, PerftRefusal), int(std::size(refused)));
    EXPECT_EQ(countPrefix(lines, "Nodes searched"), 1);  // nothing was counted for them
    EXPECT_EQ(lines.back(), "Nodes searched: 20");
    engine.send("isready");
    EXPECT_EQ(engine.readLine(), "readyok");
}

// A deep perft reads its input: "isready" is answered, other lines wait for the count, and
// "stop" ends it with what it counted, marked incomplete. The waiting lines then run in order.
TEST(HostileInput, StopEndsADeepPerftAndTheLinesSentMeanwhileFollow) {
    StartedEngine engine;
    engine.send("perft 15");
    engine.send("isready");
    const auto ready = engine.linesUntil("readyok", 3000);
    EXPECT_EQ(countPrefix(ready, "Nodes searched"), 0);
    engine.send("position startpos moves e2e4");
    engine.send("perft 2");
    const auto start = std::chrono::steady_clock::now();
    engine.send("stop");
    const auto stopped = engine.linesUntil("Nodes searched", 3000);
    EXPECT_LT(msSince(start), 2000 * SlowBuildFactor);
    ASSERT_GE(stopped.size(), 3u);
    EXPECT_TRUE(startsWith(stopped[stopped.size() - 3], "info string perft stopped, incomplete: "))
        << stopped[stopped.size() - 3];
    EXPECT_EQ(stopped[stopped.size() - 2], "");
    // The queued "position" and "perft 2": Black's twenty moves after 1.e4.
    const auto queued = engine.linesUntil("Nodes searched");
    ASSERT_FALSE(queued.empty());
    EXPECT_EQ(queued.back(), "Nodes searched: 600");
    EXPECT_EQ(countPrefix(queued, "info string"), 0);
    engine.send("isready");
    EXPECT_EQ(engine.readLine(), "readyok");
}

TEST(HostileInput, QuitOrEndOfInputEndADeepPerft) {
    for (const bool quit : {true, false}) {
        StartedEngine engine;
        engine.send("perft 15");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto start = std::chrono::steady_clock::now();
        if (quit)
            engine.send("quit");
        else
            engine.closeInput();
        EXPECT_EQ(engine.waitExit(3000 * SlowBuildFactor), 0) << (quit ? "quit" : "end of input");
        EXPECT_LT(msSince(start), 2000 * SlowBuildFactor) << (quit ? "quit" : "end of input");
    }
    // A small perft is over before the engine looks at its input: a script that sends "quit"
    // right after it gets the whole count.
    StartedEngine engine;
    engine.send("perft 2");
    engine.send("quit");
    EXPECT_EQ(engine.waitFor("Nodes searched", 5000 * SlowBuildFactor), "Nodes searched: 400");
    EXPECT_EQ(engine.waitExit(), 0);
}

// A line cut at the buffer's end is not carried out: a cut "position" leaves no position,
// so that "go" cannot search the one before it.
TEST(HostileInput, OneMegabyteLineIsRefusedAndTheNextCommandWorks) {
    StartedEngine engine;
    std::string line = "position startpos moves";
    while (line.size() < (1 << 20)) line += " g1f3 g8f6 f3g1 f6g8";
    engine.send(line);
    engine.send("go depth 1");
    const auto lines = engine.linesUntil("bestmove", 30000);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "info string position line longer than 65534 characters ignored");
    EXPECT_EQ(lines[lines.size() - 2], "info string invalid position");
    EXPECT_EQ(lines.back(), "bestmove 0000");
    expectAStartPositionMove(engine);
}

// Ten thousand reversible moves: far more records than the state stack holds, the
// fifty-move counter long saturated, the start position repeated 2500 times.
TEST(HostileInput, TenThousandMoveGameEndsInTheRightPosition) {
    StartedEngine engine;
    std::string line = "position startpos moves";
    for (int i = 0; i < 2500; ++i) line += " g1f3 g8f6 f3g1 f6g8";
    for (const bool oneMore : {false, true}) {
        engine.send(line + (oneMore ? " e2e4" : ""));
        engine.send("perft 3");
        EXPECT_EQ(engine.waitFor("Nodes searched", 10000 * SlowBuildFactor),
                  oneMore ? "Nodes searched: 13160" : "Nodes searched: 8902");
        engine.send("go depth 6");
        const auto lines = engine.linesUntil("bestmove", 30000);
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(isLegalAfter(oneMore ? "startpos moves e2e4" : "startpos", moveOf(lines.back())))
            << lines.back();
    }
    // The same evaluation as the start position itself.
    engine.send(line);
    engine.send("eval");
    const auto afterGame = engine.waitFor("info string eval", 5000 * SlowBuildFactor);
    engine.send("position startpos");
    engine.send("eval");
    EXPECT_EQ(afterGame, engine.waitFor("info string eval", 5000 * SlowBuildFactor));
}

TEST(HostileInput, FensTheEngineAcceptsOrRefuses) {
    struct Case {
        const char* fen;
        bool accepted;
        const char* info;  // the line "position" prints, if any
    };
    const Case cases[] = {
        {"4k3/pppppppp/p7/8/8/P7/PPPPPPPP/4K3 w - - 0 1", false, nullptr},  // nine pawns a side
        {"4k3/8/8/8/8/8/8/P3K3 w - - 0 1", false, nullptr},                 // a pawn on the first rank
        {"3pk3/8/8/8/8/8/8/4K3 w - - 0 1", false, nullptr},                 // and on the eighth
        {"4k2R/8/8/8/8/8/8/r3K3 w - - 0 1", false, nullptr},                // both kings in check
        {CheckNotToMove, false, nullptr},                                   // the side not to move in check
        {"rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false, nullptr},    // nine squares
        {"rnbqkbnr/ppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false, nullptr},   // nine men
        {"rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false, nullptr},     // seven squares
        {"rnbqkbnr/pppppppp/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false, nullptr},      // seven ranks
        {"rnbqkbnr/pppppppp/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false, nullptr},  // nine ranks
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1", false, nullptr},    // no side
        {RookH1Missing, true, "info string castling rights K ignored: king or rook not on its square"},
        {"r3k2r/8/8/8/8/8/8/R4K1R b KQkq - 0 1", true,
         "info string castling rights KQ ignored: king or rook not on its square"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b", true, nullptr},  // board and side only
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", true, nullptr},    // the board alone
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 and more fields", true, nullptr},
    };
    StartedEngine engine;
    for (const Case& c : cases) {
        const std::string position = std::string("fen ") + c.fen;
        const auto lines = engine.search(position, "go depth 1");
        ASSERT_FALSE(lines.empty()) << c.fen;
        EXPECT_EQ(countPrefix(lines, "bestmove"), 1) << c.fen;
        if (c.accepted) {
            EXPECT_TRUE(isLegalAfter(position, moveOf(lines.back()))) << c.fen << ": " << lines.back();
        } else {
            ASSERT_GE(lines.size(), 2u) << c.fen;
            EXPECT_EQ(lines[lines.size() - 2], "info string invalid position") << c.fen;
            EXPECT_EQ(lines.back(), "bestmove 0000") << c.fen;
        }
        EXPECT_EQ(countPrefix(lines, "info string castling"), c.info ? 1 : 0) << c.fen;
        if (c.info) {
            EXPECT_EQ(lines.front(), c.info);
        }
    }
    // The board alone is White to move, whatever the position before had.
    engine.send("position startpos moves e2e4");
    engine.send("position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
    engine.send("perft 1");
    const auto white = engine.linesUntil("Nodes searched");
    EXPECT_EQ(countPrefix(white, "a2a3: 1"), 1);
    EXPECT_EQ(white.back(), "Nodes searched: 20");
    // An en-passant square with no pawn that could have just passed it counts for nothing:
    // five king moves and the push, no capture on e6.
    engine.send("position fen 4k3/8/8/3P4/8/8/8/4K3 w - e6 0 1");
    engine.send("perft 1");
    EXPECT_EQ(engine.waitFor("Nodes searched"), "Nodes searched: 6");
    expectAStartPositionMove(engine);
}

// Nine queens a side after eight promotions each: legal, and so crowded that a single root
// move takes seconds to search. The clock and "stop" still end the search in time.
TEST(HostileInput, NineQueensASideAreSearchedWithinTheirTime) {
    StartedEngine engine;
    const std::string position = "fen qqqqqqqk/q5q1/8/8/8/8/Q5Q1/QQQQQQQK w - - 0 1";
    auto start = std::chrono::steady_clock::now();
    auto lines = engine.search(position, "go movetime 300", 5000);
    EXPECT_LT(msSince(start), 300 + 1000 * SlowBuildFactor);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(isLegalAfter(position, moveOf(lines.back()))) << lines.back();

    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    start = std::chrono::steady_clock::now();
    engine.send("stop");
    lines = engine.linesUntil("bestmove", 5000);
    EXPECT_LT(msSince(start), 1000 * SlowBuildFactor);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(isLegalAfter(position, moveOf(lines.back()))) << lines.back();
}

// Every "go" keyword without its value, with a negative and with a huge one: each "go" is
// answered by one "bestmove" (after "stop" where the search has no end of its own), and a
// keyword without a value is reported.
TEST(HostileInput, GoKeywordsWithoutValuesOrWithExtremeOnes) {
    StartedEngine engine;
    engine.send("position startpos");
    const char* const keywords[] = {"wtime", "btime", "winc",     "binc",        "movestogo", "depth",
                                    "nodes", "mate",  "movetime", "searchmoves", "infinite",  "ponder"};
    const char* const values[] = {"", " -5", " 99999999999999999999", " -99999999999999999999"};
    for (const char* keyword : keywords) {
        for (const char* value : values) {
            const std::string go = std::string("go ") + keyword + value;
            engine.send(go);
            engine.send("stop");
            engine.send("isready");
            const auto lines = engine.linesUntil("readyok");
            EXPECT_EQ(countBestmoves(lines), 1) << go;
            const bool takesValue = std::string(keyword) != "searchmoves" &&
                                    std::string(keyword) != "infinite" && std::string(keyword) != "ponder";
            const int reports =
                countPrefix(lines, std::string("info string go ") + keyword + " has no value");
            EXPECT_EQ(reports, takesValue && !*value ? 1 : 0) << go;
        }
    }
    // A keyword in place of a value: the first one has none, the second keeps its own.
    engine.send("go depth movetime 50");
    const auto lines = engine.linesUntil("bestmove");
    EXPECT_EQ(countPrefix(lines, "info string go depth has no value, ignored"), 1);
    expectAStartPositionMove(engine);
    // A search with no limit at all ends at the end of the input, as an infinite one does.
    engine.send("go depth");
    engine.closeInput();
    EXPECT_TRUE(engine.waitFor("bestmove", 5000 * SlowBuildFactor));
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(HostileInput, SetoptionWithoutNameOrValue) {
    StartedEngine engine;
    const char* const lines[] = {
        "setoption name",
        "setoption",
        "setoption name value 3",
        "setoption name Hash",
        "setoption name MultiPV value",
        "setoption name Hash value abc",
        "setoption name Ponder value maybe",
    };
    for (const char* line : lines) engine.send(line);
    engine.send("isready");
    std::vector<std::string> seen = engine.linesUntil("readyok");
    seen.pop_back();
    const std::string noName = "info string setoption needs a name: setoption name <name> value <value>";
    const std::vector<std::string> expected = {
        noName,
        noName,
        noName,
        "info string Hash value missing, unchanged",
        "info string MultiPV value missing, unchanged",
        "info string Hash value abc is not a number, unchanged",
        "info string Ponder value maybe is not true or false, unchanged",
    };
    EXPECT_EQ(seen, expected);
    expectAStartPositionMove(engine);
}

// Binary bytes and NUL characters inside lines: no fault, and nothing echoed can put a line
// break into the output.
TEST(HostileInput, BinaryBytesAndNulCharacters) {
    StartedEngine engine;
    std::string noise;
    for (int byte = 255; byte >= 0; --byte)
        if (byte != '\n') noise += char(byte);
    engine.sendRaw(noise + "\n");
    engine.sendRaw(bytes("position fen \xff\xfe\x00\x01 w - - 0 1\n"));
    engine.sendRaw(bytes("go \x00 depth 1\n"));
    engine.send("stop");
    engine.sendRaw(bytes("setoption name \x80\r\x01\x7f value 1\n"));
    engine.sendRaw(bytes("setoption name x\rbestmove e2e4 value 1\n"));
    engine.send("isready");
    const auto lines = engine.linesUntil("readyok");
    for (const auto& l : lines) EXPECT_EQ(l.find('\r'), std::string::npos) << l;
    EXPECT_EQ(countPrefix(lines, "info string no such option: "), 2);
    EXPECT_EQ(countBestmoves(lines), 1);
    expectAStartPositionMove(engine);
}
