// No order of commands can hang the engine: searches started and stopped at random moments,
// thread changes at every stage of a search, quit and the end of input while threads share
// work. Every read has a deadline, so a hang fails its own test.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board/position.h"
#include "core/flags.h"
#include "engine_process.h"
#include "search/driver.h"
#include "search_harness.h"
#include "shell/command.h"
#include "shell/engine.h"
#include "shell/go.h"
#include "shell/options.h"
#include "smp/threads.h"
#include "test_positions.h"

namespace {

// Checkmated: an infinite search ends at once and then waits for "stop".
const char* const Mated = FoolsMate;

// Ends the test process when a test runs past its time: a hang then fails that test.
struct Watchdog {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread thread;
    explicit Watchdog(int seconds) {
        thread = std::thread([this, seconds] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!done.wait_for(lock, std::chrono::seconds(seconds), [this] { return finished; })) {
                fprintf(stderr, "hang: the test did not end within %d s\n", seconds);
                std::_Exit(3);
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        done.notify_one();
        thread.join();
    }
};

}  // namespace

TEST(HangProcess, AThousandRandomlyTimedStopsEachGetOneBestmove) {
    TwoThreadEngine engine;
    std::mt19937 random(20261208);
    engine.send(std::string("position fen ") + Middlegame);
    for (int cycle = 0; cycle < 1000; ++cycle) {
        engine.send(cycle % 7 == 3 ? std::string("position fen ") + Mated
                                   : std::string("position fen ") + Middlegame);
        engine.send("go infinite");
        const int delay = int(random() % 6);
        if (delay) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        if (cycle % 10 == 0) engine.send("isready");
        engine.send("stop");
        std::vector<std::string> seen;
        ASSERT_TRUE(engine.waitFor("bestmove", 10000 * SlowBuildFactor, &seen)) << "cycle " << cycle;
        if (cycle % 10 == 0) {
            EXPECT_EQ(countPrefix(seen, "readyok") + countPrefix(engine.drain(0), "readyok"), 1);
        }
    }
    engine.send("isready");
    std::vector<std::string> rest;
    ASSERT_TRUE(engine.waitFor("readyok", 5000 * SlowBuildFactor, &rest));
    EXPECT_EQ(countPrefix(rest, "bestmove"), 0);
}

TEST(HangProcess, ThreadChangesAtEveryStageOfASearch) {
    TwoThreadEngine engine;
    // Between searches.
    engine.send("setoption name Threads value 1");
    engine.send("position startpos");
    engine.send("go depth 6");
    ASSERT_TRUE(engine.waitFor("bestmove", 30000 * SlowBuildFactor));
    engine.send("setoption name Threads value 2");
    // During a search: dropped, the search goes on and stops.
    engine.send(std::string("position fen ") + Middlegame);
    engine.send("go infinite");
    engine.send("setoption name Threads value 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    engine.send("stop");
    ASSERT_TRUE(engine.waitFor("bestmove", 5000 * SlowBuildFactor));
    // While a finished infinite search and a finished ponder search wait for their end.
    for (const char* go : {"go infinite", "go ponder wtime 1000 btime 1000"}) {
        engine.send(std::string("position fen ") + Mated);
        engine.send(go);
        engine.send("setoption name Threads value 1");
        engine.send("setoption name Threads value 2");
        engine.send("isready");
        std::vector<std::string> seen;
        ASSERT_TRUE(engine.waitFor("readyok", 5000 * SlowBuildFactor, &seen)) << go;
        EXPECT_EQ(countPrefix(seen, "bestmove"), 0) << go;
        engine.send("stop");
        ASSERT_TRUE(engine.waitFor("bestmove", 5000 * SlowBuildFactor)) << go;
    }
    // The threads restarted once the search was idle, and still search.
    engine.send(std::string("position fen ") + Middlegame);
    engine.send("go depth 8");
    ASSERT_TRUE(engine.waitFor("bestmove", 30000 * SlowBuildFactor));
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(5000 * SlowBuildFactor), 0);
}

TEST(HangProcess, CommandsWhileAFinishedSearchWaitsKeepTheirOrder) {
    TwoThreadEngine engine;
    engine.send(std::string("position fen ") + Mated);
    engine.send("go infinite");
    engine.drain(100);
    // A new position ends the waiting search first: its bestmove is for the position searched.
    engine.send("position startpos");
    engine.send("go depth 3");
    std::vector<std::string> seen;
    auto best = engine.waitFor("bestmove", 5000 * SlowBuildFactor, &seen);
    ASSERT_TRUE(best);
    EXPECT_EQ(*best, "bestmove 0000");
    best = engine.waitFor("bestmove", 10000 * SlowBuildFactor);
    ASSERT_TRUE(best);
    const std::string move = moveOf(*best);
    const auto start = legalMoveTexts(setUp(StartFen));
    EXPECT_NE(std::find(start.begin(), start.end(), move), start.end()) << *best;
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(5000 * SlowBuildFactor), 0);
}

TEST(HangProcess, QuitOrEndOfInputWhileThreadsShareWork) {
    for (int round = 0; round < 6; ++round) {
        TwoThreadEngine engine;
        engine.send(std::string("position fen ") + Middlegame);
        engine.send("go infinite");
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + 40 * round));
        if (round % 2 == 0) {
            engine.send("quit");
        } else {
            engine.closeInput();
        }
        EXPECT_EQ(engine.waitExit(5000 * SlowBuildFactor), 0) << "round " << round;
    }
}

TEST(HangProcess, NewGamePositionAndIsreadyDuringASearch) {
    TwoThreadEngine engine;
    for (int round = 0; round < 20; ++round) {
        engine.send(std::string("position fen ") + Middlegame);
        engine.send("go infinite");
        std::this_thread::sleep_for(std::chrono::milliseconds(5 * (round % 5)));
        engine.send("isready");
        engine.send("position startpos");  // dropped during the search
        engine.send(round % 2 ? "ucinewgame" : "stop");
        std::vector<std::string> seen;
        ASSERT_TRUE(engine.waitFor("bestmove", 5000 * SlowBuildFactor, &seen)) << "round " << round;
        engine.send("isready");
        ASSERT_TRUE(engine.waitFor("readyok", 5000 * SlowBuildFactor));
    }
}

TEST(HangProcess, TwoHundredFixedDepthSearchesOnTwoThreadsPlayLegalMoves) {
    TwoThreadEngine engine;
    const auto legal = legalMoveTexts(setUp(Middlegame));
    for (int i = 0; i < 200; ++i) {
        if (i % 10 == 0) engine.send("ucinewgame");
        engine.send(std::string("position fen ") + Middlegame);
        engine.send("go depth 8");
        auto best = engine.waitFor("bestmove", 30000 * SlowBuildFactor);
        ASSERT_TRUE(best) << "search " << i;
        const std::string move = moveOf(*best);
        ASSERT_NE(std::find(legal.begin(), legal.end(), move), legal.end()) << *best;
    }
}

// More threads than this machine has processors: the searches share work among 4 and 12
// threads, and a stop at a random moment always ends them.
TEST(HangInProcess, ManyThreadsStartAndStopAtRandomMoments) {
    Watchdog watchdog(240);
    static const bool started = [] {
        startUp();
        setOption("Hash value 16");
        return true;
    }();
    (void)started;
    std::mt19937 random(7);
    for (int threads : {4, 12}) {
        processorCountOverride = threads;
        setOption(("Threads value " + std::to_string(threads)).c_str());
        ASSERT_EQ(runningThreads, threads);
        for (int round = 0; round < 25; ++round) {
            executeCommand(rootPosition, (std::string("position fen ") + Middlegame).c_str());
            parseGo(rootPosition, round % 3 ? "go infinite" : "go depth 9");
            benchMode = 1;  // quiet, and the poll thread reads no input
            std::atomic<bool> ended{false};
            std::thread search([&ended] {
                runSearch(rootPosition);
                ended = true;
            });
            // The poll thread reads input only once the search has a move to play.
            while (!(searching && bestMove.load()) && !ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
            haltSearch(0);  // what "stop" does on the poll thread
            search.join();
            benchMode = 0;
            EXPECT_TRUE(searchIdle);
            EXPECT_NE(bestMove.load(), 0) << threads << " threads, round " << round;
        }
    }
    processorCountOverride = 0;
    setOption("Threads value 1");
}

#ifndef _WIN32
// A process limited to one processor gets one search thread, whatever "Threads" asks for.
TEST(HangProcess, SearchThreadsFollowTheProcessorsTheProcessMayUse) {
    if (std::system("taskset -c 0 true > /dev/null 2>&1") != 0) GTEST_SKIP() << "no taskset here";
    EngineProcess engine("taskset -c 0");
    engine.skipBanner();
    auto settle = [&](const char* threads) {
        engine.send(std::string("setoption name Threads value ") + threads);
        engine.send("isready");
        EXPECT_TRUE(engine.waitFor("readyok", 10000 * SlowBuildFactor));
        return threadsOf(engine.pid);
    };
    const int one = settle("1");
    EXPECT_EQ(settle("12"), one);
    engine.send("go depth 6");
    EXPECT_TRUE(engine.waitFor("bestmove", 30000 * SlowBuildFactor));
}
#endif
