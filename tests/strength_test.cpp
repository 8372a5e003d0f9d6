// Limited strength through the binary: the options, a full-strength search untouched by them,
// and a limited Orvo that still plays the moves any player plays, holds its level with
// threads, lines and pondering, and varies its games.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine_process.h"

namespace {

const std::string Clock = "go wtime 60000 btime 60000 winc 1000 binc 1000";

// The nodes and the lines of the last report block of a search, and its move.
struct LimitedSearch {
    long long nodes = -1;
    int lines = 0;
    std::string move;
};

LimitedSearch limitedSearch(EngineProcess& engine, const std::string& position, const std::string& go) {
    const std::vector<std::string> lines = engine.search(position, go);
    LimitedSearch result;
    for (const std::string& line : pvLines(lines)) {
        result.nodes = numberAfter(line, "nodes");
        const long long multipv = numberAfter(line, "multipv");
        if (multipv > result.lines) result.lines = int(multipv);
    }
    if (!lines.empty()) result.move = moveOf(lines.back());
    return result;
}

}  // namespace

// The options' place in the "uci" answer is checked with the others (ShellProcess).
TEST(StrengthProcess, EloIsClampedToTheScale) {
    OneThreadEngine engine;
    for (const auto& [given, set] : {std::pair{"100", "1350"}, {"9000", "2850"}}) {
        engine.send(std::string("setoption name UCI_Elo value ") + given);
        engine.send("isready");
        const std::vector<std::string> lines = engine.linesUntil("readyok");
        EXPECT_EQ(lines.front(),
                  std::string("info string UCI_Elo value ") + given + " is out of range, set to " + set);
    }
}

// With the limit off the level does nothing: the same search as a fresh process, after the
// limit was on for a search and switched off again.
TEST(StrengthProcess, WithoutTheLimitTheSearchIsTodays) {
    const std::string position = "fen r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
    long long fresh = 0;
    {
        OneThreadEngine engine;
        fresh = limitedSearch(engine, position, "go depth 9").nodes;
    }
    OneThreadEngine engine;
    engine.send("setoption name UCI_Elo value 1350");
    engine.send("setoption name UCI_LimitStrength value true");
    limitedSearch(engine, position, "go depth 9");
    engine.send("setoption name UCI_LimitStrength value false");
    engine.send("setoption name Clear Hash");
    EXPECT_EQ(limitedSearch(engine, position, "go depth 9").nodes, fresh);
}

// At the lowest level, with a new seed each time: a mate in one is played, a queen left
// hanging is taken, a queen that took is taken back, and a single legal move is played
// without a search.
TEST(StrengthProcess, WeakestLevelStillPlaysTheObviousMoves) {
    const struct {
        const char* position;
        const char* move;
    } Cases[] = {
        {"fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 30", "a1a8"},                                 // mate in one
        {"fen rnb1kbnr/pppp1ppp/8/4p3/4P2q/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", "f3h4"},      // hanging queen
        {"fen rnb1kbnr/pppp1ppp/8/4p3/4P3/5q2/PPPP1PPP/RNB1KB1R w KQkq - 0 4", "g2f3"},       // the queen retaken
        {"fen k7/8/8/8/8/8/1q6/K7 w - - 0 50", "a1b2"},                                        // the only move
    };
    OneThreadEngine engine;
    engine.send("setoption name UCI_LimitStrength value true");
    engine.send("setoption name UCI_Elo value 1350");
    for (int round = 0; round < 5; ++round) {
        engine.send("ucinewgame");
        for (const auto& c : Cases) {
            const std::vector<std::string> lines = engine.search(c.position, Clock);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(moveOf(lines.back()), c.move) << c.position;
        }
    }
    // The single move comes without a search: no report precedes it.
    EXPECT_TRUE(pvLines(engine.search("fen k7/8/8/8/8/8/1q6/K7 w - - 0 50", Clock)).empty());
}

// A limited search is one thread's search of the level's budget, in the level's lines (four
// below 1500, one above) or as many as MultiPV asks for: two threads search exactly the nodes that one does, and a ponder search
// turned into the real one by "ponderhit" searches exactly those of the same search unpondered.
TEST(StrengthProcess, LimitHoldsWithThreadsLinesAndPonder) {
    const std::string position = "fen r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
    const auto limited = [&](EngineProcess& engine, int elo, int multipv) {
        engine.send("setoption name UCI_LimitStrength value true");
        engine.send("setoption name UCI_Elo value " + std::to_string(elo));
        engine.send("setoption name MultiPV value " + std::to_string(multipv));
    };
    for (const auto& [elo, levelLines] : {std::pair{1350, 4}, {2000, 1}}) {
        LimitedSearch one, two, six;
        {
            OneThreadEngine engine;
            limited(engine, elo, 1);
            one = limitedSearch(engine, position, Clock);
        }
        {
            TwoThreadEngine engine;
            limited(engine, elo, 1);
            two = limitedSearch(engine, position, Clock);
        }
        EXPECT_GT(one.nodes, 0);
        EXPECT_EQ(two.nodes, one.nodes) << elo;
        EXPECT_EQ(one.lines, levelLines) << elo;
        {
            OneThreadEngine engine;
            limited(engine, elo, 6);
            six = limitedSearch(engine, position, Clock);
        }
        EXPECT_EQ(six.lines, 6);
        StartedEngine ponder(true, 1);
        limited(ponder, elo, 6);
        ponder.send("position " + position);
        ponder.send(Clock.substr(0, 3) + "ponder " + Clock.substr(3));
        // The budget spent, the ponder search waits for "ponderhit" before its "bestmove".
        std::vector<std::string> lines = ponder.drain(300);
        EXPECT_EQ(countBestmoves(lines), 0);
        ponder.send("ponderhit");
        for (const std::string& line : ponder.linesUntil("bestmove")) lines.push_back(line);
        LimitedSearch pondered;
        for (const std::string& line : pvLines(lines)) {
            pondered.nodes = numberAfter(line, "nodes");
            pondered.lines = std::max(pondered.lines, int(numberAfter(line, "multipv")));
        }
        EXPECT_EQ(pondered.lines, 6);
        EXPECT_EQ(pondered.nodes, six.nodes) << elo;
    }
}

// The choice draws from a generator seeded at "ucinewgame": two games of a limited Orvo
// against itself from the initial position part.
TEST(StrengthProcess, GamesDifferAfterNewGame) {
    OneThreadEngine engine;
    engine.send("setoption name UCI_LimitStrength value true");
    engine.send("setoption name UCI_Elo value 1350");
    std::vector<std::string> games[2];
    for (std::vector<std::string>& game : games) {
        engine.send("ucinewgame");
        std::string moves;
        for (int ply = 0; ply < 12; ++ply) {
            const std::vector<std::string> lines = engine.search("startpos" + moves, Clock);
            ASSERT_FALSE(lines.empty());
            game.push_back(moveOf(lines.back()));
            moves += (ply ? " " : " moves ") + game.back();
        }
    }
    EXPECT_NE(games[0], games[1]);
}
