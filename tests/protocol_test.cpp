// What strict UCI clients check in the engine's output, through the real binary: the
// "go" limits nodes, mate and searchmoves, best moves without a false ponder move,
// principal variations that end where the game would be drawn, and answers to options.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "board/attackmap.h"
#include "board/position.h"
#include "engine_process.h"
#include "search_harness.h"
#include "shell/positioncommand.h"
#include "test_positions.h"

namespace {

// The "position" arguments with the first `count` of the moves played after them.
std::string played(const std::string& position, const std::vector<std::string>& moves, size_t count) {
    std::string text = position + (position.find(" moves") == std::string::npos ? " moves" : "");
    for (size_t i = 0; i < count; ++i) text += " " + moves[i];
    return text;
}

// The key of the position after the moves, played from the "position" arguments.
uint64_t keyAfter(const std::string& position, const std::vector<std::string>& moves, size_t count) {
    return positionFrom(played(position, moves, count)).state->key;
}

// The keys of the game's positions: the set-up position and every one after a move of
// the "moves" list.
std::vector<uint64_t> gameKeys(const std::string& position) {
    const size_t at = position.find(" moves ");
    const std::string base = at == std::string::npos ? position : position.substr(0, at);
    const std::vector<std::string> moves = wordsAfter(position, "moves");
    std::vector<uint64_t> keys;
    for (size_t i = 0; i <= moves.size(); ++i) keys.push_back(keyAfter(base, moves, i));
    return keys;
}

// Checks a principal variation: every move legal, no position repeated before the last
// move, and the line not going past a repetition. Returns true when the line ends in a
// repetition.
bool checkLine(const std::string& position, const std::vector<std::string>& pv) {
    std::vector<uint64_t> seen = gameKeys(position);
    for (size_t i = 0; i < pv.size(); ++i) {
        EXPECT_TRUE(isLegalAfter(played(position, pv, i), pv[i])) << pv[i];
        const uint64_t key = keyAfter(position, pv, i + 1);
        const bool repeated = std::find(seen.begin(), seen.end(), key) != seen.end();
        if (repeated) {
            EXPECT_EQ(i + 1, pv.size()) << "the line goes on after a repetition at move " << i + 1;
            return true;
        }
        seen.push_back(key);
    }
    return false;
}

}  // namespace

TEST(ProtocolProcess, GoNodesStopsAtTheNodeCountAndRepeatsItsMove) {
    OneThreadEngine engine;
    const std::string position = std::string("fen ") + Middlegame;
    std::set<std::string> bestMoves;
    std::set<long long> finalCounts;
    for (int run = 0; run < 3; ++run) {
        engine.send("ucinewgame");
        const auto lines = engine.search(position, "go nodes 20000");
        const auto pvs = pvLines(lines);
        ASSERT_FALSE(pvs.empty());
        const long long nodes = numberAfter(pvs.back(), "nodes");
        EXPECT_GE(nodes, 20000);
        EXPECT_LE(nodes, 23000) << pvs.back();
        finalCounts.insert(nodes);
        bestMoves.insert(lines.back().substr(0, 13));
        EXPECT_TRUE(isLegalAfter(position, moveOf(lines.back()))) << lines.back();
    }
    // One thread stops at the same node every time: the same count, the same move.
    EXPECT_EQ(bestMoves.size(), 1u);
    EXPECT_EQ(finalCounts.size(), 1u);
}

TEST(ProtocolProcess, GoNodesWithTwoThreadsCountsBoth) {
    TwoThreadEngine engine;
    const auto lines = engine.search("startpos", "go nodes 200000");
    const auto pvs = pvLines(lines);
    ASSERT_FALSE(pvs.empty());
    EXPECT_GE(numberAfter(pvs.back(), "nodes"), 200000);
    EXPECT_LT(numberAfter(pvs.back(), "nodes"), 400000) << pvs.back();
    // A node limit combined with a clock: whichever comes first.
    const auto start = std::chrono::steady_clock::now();
    engine.search("startpos", "go nodes 100000000 movetime 200");
    EXPECT_LT(msSince(start), 5000 * SlowBuildFactor);
}

TEST(ProtocolProcess, GoMateStopsOnceTheMateIsProven) {
    StartedEngine engine;
    // King and rook against king: mate in three (1.Kc6 Ka7 2.Rh8 Ka6 3.Ra8#), no sooner.
    const std::string position = "fen 1k6/8/8/2K5/8/8/8/7R w - - 0 1";
    const auto start = std::chrono::steady_clock::now();
    const auto lines = engine.search(position, "go mate 3");
    EXPECT_LT(msSince(start), 10000 * SlowBuildFactor);
    const auto pvs = pvLines(lines);
    ASSERT_FALSE(pvs.empty());
    EXPECT_EQ(wordAfter(pvs.back(), "mate"), "3") << pvs.back();
    // The line is the mate: five plies, the last of which leaves Black mated; the best move
    // is its first.
    const auto pv = wordsAfter(pvs.back(), "pv");
    ASSERT_EQ(pv.size(), 5u) << pvs.back();
    Position& pos = positionFrom(played(position, pv, 5));
    EXPECT_TRUE(inCheck(pos) && legalMoves(pos).empty()) << pvs.back();
    EXPECT_EQ(moveOf(lines.back()), pv[0]) << lines.back();

    // A mate the position does not have: the search goes on until "stop".
    engine.send("position fen 7k/8/8/8/8/8/8/K5R1 w - - 0 1");
    engine.send("go mate 2");
    std::vector<std::string> early;
    EXPECT_FALSE(engine.waitFor("bestmove", 500, &early)) << "stopped without a mate";
    engine.send("stop");
    EXPECT_TRUE(engine.waitFor("bestmove", 5000 * SlowBuildFactor));
}

TEST(ProtocolProcess, SearchmovesSearchesOnlyTheMovesListed) {
    StartedEngine engine;
    auto lines = engine.search("startpos", "go depth 7 searchmoves a2a3 h2h3");
    for (const auto& pv : pvLines(lines)) {
        const std::string first = wordAfter(pv, "pv");
        EXPECT_TRUE(first == "a2a3" || first == "h2h3") << pv;
    }
    const std::string best = moveOf(lines.back());
    EXPECT_TRUE(best == "a2a3" || best == "h2h3") << lines.back();

    // Words that are no legal move are ignored; a keyword ends the list.
    lines = engine.search("startpos", "go searchmoves e2e5 zz g1f3 depth 5");
    EXPECT_EQ(moveOf(lines.back()), "g1f3") << lines.back();
    for (const auto& pv : pvLines(lines)) EXPECT_EQ(wordAfter(pv, "pv"), "g1f3") << pv;

    // None legal: answered as a position that cannot be searched.
    lines = engine.search("startpos", "go depth 5 searchmoves e2e5 e7e5");
    EXPECT_EQ(lines.back(), "bestmove 0000");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "info string invalid position"), lines.end());
}

TEST(ProtocolProcess, BestmoveNamesOnlyALegalPonderMove) {
    for (const bool ponder : {false, true}) {
        StartedEngine engine(ponder);
        struct Case {
            std::string position;
            const char* go;
        };
        const Case cases[] = {
            {"fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "go depth 5"},  // mated
            {std::string("fen ") + Stalemate, "go depth 5"},       // stalemated
            {"fen 7k/8/6K1/8/8/8/8/R7 w - - 0 1", "go depth 5"},   // the best move mates
            {"fen k7/2Q5/1K6/8/8/8/8/8 b - - 0 1", "go depth 5"},  // stalemate at once
            {"fen 8/8/8/8/8/5k2/7q/7K w - - 0 1", "go depth 5"},   // one legal move
            {"fen 7k/8/8/8/8/8/1r6/K7 w - - 0 1", "go depth 1"},   // one move, a shallow search
            {"startpos", "go depth 1"},                            // nothing in the tables yet
            {"startpos moves e2e4 e7e5 g1f3 b8c6", "go nodes 1"},  // stopped at once
        };
        for (const Case& c : cases) {
            engine.send("ucinewgame");
            const auto lines = engine.search(c.position, c.go);
            const std::string& best = lines.back();
            EXPECT_EQ(best.find("NULL"), std::string::npos) << c.position << ": " << best;
            const auto words = wordsAfter(best, "bestmove");
            if (words.size() > 1) {
                ASSERT_EQ(words.size(), 3u) << best;
                EXPECT_EQ(words[1], "ponder") << best;
                EXPECT_TRUE(isLegalAfter(played(c.position, words, 1), words[2]))
                    << c.position << ": " << best;
            }
        }
    }
}

TEST(ProtocolProcess, PrincipalVariationsEndWhereTheGameIsDrawn) {
    StartedEngine engine;
    // Perpetual check: White, a queen and two rooks down, checks for ever (Qe8+ Kh7 Qh5+
    // Kg8); the line must end at the first repetition, in the line or in the game.
    const std::string perpetual = "fen 6k1/6p1/8/8/8/7K/1rr1Q3/q7 w - - 0 1";
    bool endedAtRepetition = false;
    for (const std::string& position : {perpetual, perpetual + " moves e2e8 g8h7 e8h5 h7g8"}) {
        const auto lines = engine.search(position, "go depth 12");
        for (const auto& pv : pvLines(lines)) endedAtRepetition |= checkLine(position, wordsAfter(pv, "pv"));
    }
    EXPECT_TRUE(endedAtRepetition);

    // Fifty moves without a capture or a pawn move after White's next move: every line has
    // that one move.
    const auto lines = engine.search("fen 8/8/8/4k3/8/8/8/R3K3 w - - 99 80", "go depth 8");
    const auto pvs = pvLines(lines);
    ASSERT_FALSE(pvs.empty());
    for (const auto& pv : pvs) EXPECT_EQ(wordsAfter(pv, "pv").size(), 1u) << pv;
}

TEST(ProtocolProcess, OptionsAnswerUnknownNamesAndClampedValues) {
    StartedEngine engine;
    engine.send("setoption name NoSuchThing value 3");
    engine.send("setoption name Skill Level");
    engine.send("setoption name MultiPV value 999");
    engine.send("setoption name Hash value 0");
    engine.send("setoption name Threads value 1");  // in range: nothing to say
    engine.send("isready");
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.waitFor("readyok", 10000 * SlowBuildFactor, &lines));
    const std::vector<std::string> expected = {
        "info string no such option: NoSuchThing",
        "info string no such option: Skill Level",
        "info string MultiPV value 999 is out of range, set to 250",
        "info string Hash value 0 is out of range, set to 1",
    };
    std::vector<std::string> infos;
    for (const auto& l : lines)
        if (startsWith(l, "info string")) infos.push_back(l);
    EXPECT_EQ(infos, expected);
}
