// Random command streams through the real binary: whatever arrives, the engine keeps
// answering, answers every "go" with one "bestmove", and quits cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "board/fen.h"
#include "engine_process.h"
#include "test_positions.h"

namespace {

const char* const Fens[] = {
    StartFen, Kiwipete, RookAndPawns, FoolsMate, Stalemate, BareKings, "8/P7/8/8/8/8/8/K6k w - - 0 1",
};

const char* const Words[] = {"go",       "depth",       "movetime",  "wtime", "btime",     "winc",  "binc",
                             "infinite", "ponder",      "movestogo", "stop",  "ponderhit", "moves", "fen",
                             "startpos", "e2e4",        "e7e5",      "a7a8q", "e1g1",      "-1",    "0",
                             "1",        "99999999999", "x",         "",      "KQkq",      "/",     "9/9"};

std::string randomText(std::mt19937& rng, int words) {
    std::string text;
    for (int i = 0; i < words; ++i) {
        if (i) text += rng() % 7 ? " " : "  ";
        text += Words[rng() % std::size(Words)];
    }
    return text;
}

// One random command line; the "go" lines made on purpose carry a small finite limit.
std::string randomCommand(std::mt19937& rng) {
    switch (rng() % 10) {
        case 0:
            return std::string("position fen ") + Fens[rng() % std::size(Fens)] + " moves " +
                   randomText(rng, 3);
        case 1: {
            std::string fen = Fens[rng() % std::size(Fens)];
            for (int k = 0; k < 3; ++k) fen[rng() % fen.size()] = "pnbrqkPNBRQK12345678/ -w"[rng() % 24];
            return "position fen " + fen;
        }
        case 2:
            return "position startpos moves " + randomText(rng, 4);
        case 3:
            return "go depth " + std::to_string(1 + rng() % 3) + " " + randomText(rng, 2);
        case 4:
            return "go movetime " + std::to_string(1 + rng() % 20);
        case 5:
            return "setoption name " + std::string(rng() % 2 ? "MultiPV" : "Ponder") + " value " +
                   std::string(rng() % 2 ? "true" : std::to_string(rng() % 5));
        case 6:
            return rng() % 2 ? "ucinewgame" : "stop";
        case 7:
            return "perft " + std::to_string(rng() % 3);
        case 8:
            return rng() % 2 ? "eval" : "isready";
        default:
            return randomText(rng, 1 + int(rng() % 5));
    }
}

}  // namespace

TEST(FuzzProcess, RandomCommandStreamsNeverBreakTheEngine) {
    EngineProcess engine;
    engine.skipBanner();
    engine.send("setoption name Hash value 4");
    std::mt19937 rng(getenv("ORVO_FUZZ_SEED") ? unsigned(atoi(getenv("ORVO_FUZZ_SEED"))) : 20261207u);
    int goes = 0, bestmoves = 0;
    for (int round = 0; round < 100; ++round) {
        for (int i = 0; i < 8; ++i) {
            const std::string command = randomCommand(rng);
            engine.send(command);
            if (startsWith(command, "go")) {  // any line that starts with "go" is one
                ++goes;
                engine.send("stop");  // the random words may have made it infinite
            }
        }
        engine.send("isready");
        std::vector<std::string> lines;
        ASSERT_TRUE(engine.waitFor("readyok", 20000, &lines)) << "round " << round;
        bestmoves += countBestmoves(lines);
    }
    // The last searches may still be finding a move to ponder on (a short search of its own
    // when Ponder is on), several times slower in a sanitizer build.
    bestmoves += countBestmoves(engine.drain(1000 * SlowBuildFactor));
    EXPECT_EQ(bestmoves, goes);  // every "go" was answered, once
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(5000 * SlowBuildFactor), 0);
}
