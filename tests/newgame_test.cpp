// A new game is a new game: what start-up and "ucinewgame" reset, and that nothing one
// search leaves behind changes the next search of a new game.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "core/flags.h"
#include "engine_process.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/pvhash.h"
#include "hash/tt.h"
#include "movegen/gaintable.h"
#include "movegen/history.h"
#include "search/driver.h"
#include "search/root.h"
#include "shell/command.h"
#include "shell/engine.h"
#include "shell/options.h"
#include "smp/threads.h"
#include "test_positions.h"

namespace {

const std::set<std::string> StartMoves = {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3",
                                          "d2d4", "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4",
                                          "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};

// The engine in this process with one search thread and a 16 MB table. Other tests of the
// process may start it up again with the default options: they are set every time.
void startEngine() {
    static const bool started = [] {
        startUp();
        return true;
    }();
    (void)started;
    setOption("Threads value 1");
    setOption("Hash value 16");
}

// A fixed-depth search through the command executor, quietly; returns the node count.
uint64_t search(const std::string& position, int depth) {
    executeCommand(rootPosition, ("position " + position).c_str());
    benchMode = 1;
    executeCommand(rootPosition, ("go depth " + std::to_string(depth)).c_str());
    benchMode = 0;
    return totalNodes();
}

bool allBytesZero(const void* block, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(block);
    return std::all_of(p, p + bytes, [](unsigned char b) { return b == 0; });
}

// The bestmove and the node count of the final report of a search through the binary.
struct Result {
    std::string best;
    std::string nodes;
};

Result searchThrough(EngineProcess& engine, const std::string& position, int depth) {
    const auto lines = engine.search(position, "go depth " + std::to_string(depth), 120000);
    const auto pvs = pvLines(lines);
    return {lines.empty() ? "" : moveOf(lines.back()), pvs.empty() ? "" : wordAfter(pvs.back(), "nodes")};
}

}  // namespace

TEST(NewGame, ResetsThePositionAndEmptiesEveryTable) {
    startEngine();
    search(std::string("fen ") + Symmetric + " moves a3a4", 9);
    ASSERT_NE(bestMove.load(), 0);
    ASSERT_EQ(previousSearchDepth, bestDepth);
    ASSERT_FALSE(firstSearchOfGame);

    executeCommand(rootPosition, "ucinewgame");

    // The root is the initial position, as a fresh set-up gives it.
    static Position fresh;
    initPosition(fresh);
    parseFen(fresh, StartFen);
    EXPECT_EQ(0, std::memcmp(rootPosition.board, fresh.board, sizeof fresh.board));
    EXPECT_EQ(rootPosition.state->key, fresh.state->key);
    EXPECT_EQ(rootPosition.state->castling, 15);
    EXPECT_EQ(rootPosition.state->rule50, 0);
    EXPECT_EQ(rootPosition.sideToMove, White);
    EXPECT_EQ(rootPosition.ply, 0);
    EXPECT_EQ(rootPosition.historyLength, 0u);
    EXPECT_TRUE(allBytesZero(rootPosition.keyHistory, sizeof rootPosition.keyHistory));
    EXPECT_TRUE(positionValid);

    // What one search carries to the next is back to its new-game value.
    EXPECT_EQ(previousSearchDepth, 1000);
    EXPECT_EQ(bestMove.load(), 0);
    EXPECT_TRUE(firstSearchOfGame);

    // Every table is empty.
    for (uint64_t i = 0; i < hashEntryCount; ++i) {
        TTEntry empty{};
        empty.generation = 128;
        ASSERT_EQ(0, std::memcmp(&HashTable[i], &empty, sizeof empty)) << "entry " << i;
    }
    EXPECT_EQ(hashGeneration, 0);
    EXPECT_EQ(probePV(fresh.state->key), 0);
    EXPECT_TRUE(allBytesZero(PVHash, pvHashCount * sizeof(PVEntry)));
    EXPECT_TRUE(allBytesZero(EvalHash, evalHashCount * sizeof(uint64_t)));
    EXPECT_TRUE(allBytesZero(PawnHashTable, pawnHashCount * sizeof(PawnHashEntry)));
    EXPECT_TRUE(allBytesZero(PositionalGainTable, sizeof PositionalGainTable));
    for (const auto& row : HistoryTable)
        for (uint16_t counter : row) ASSERT_EQ(counter, 2048);
    releasePosition(fresh);
}

TEST(NewGame, ALargeTableIsClearedByEverySearchThread) {
    startEngine();
    setOption("Hash value 128");
    search("startpos", 8);
    hashClearThreads = 3;  // uneven parts: the last one takes the remainder
    clearHash();
    hashClearThreads = threadCount;
    TTEntry empty{};
    empty.generation = 128;
    for (uint64_t i = 0; i < hashEntryCount; ++i)
        ASSERT_EQ(0, std::memcmp(&HashTable[i], &empty, sizeof empty)) << "entry " << i;
    setOption("Hash value 16");
}

// With ucinewgame between them, the same search gives the same tree whatever was searched
// before: no table, killer or carried value of the earlier searches reaches it.
TEST(NewGame, TheSameSearchAfterUcinewgameCountsTheSameNodes) {
    startEngine();
    const std::string a = std::string("fen ") + TwoKnights;
    const std::string b = std::string("fen ") + Symmetric;
    executeCommand(rootPosition, "ucinewgame");
    const uint64_t first = search(a, 10);
    const Move firstMove = bestMove;
    executeCommand(rootPosition, "ucinewgame");
    search(b, 10);
    executeCommand(rootPosition, "ucinewgame");
    EXPECT_EQ(search(a, 10), first);
    EXPECT_EQ(bestMove.load(), firstMove);
}

// Resident memory of this process, in megabytes.
long residentMegabytes() {
    FILE* status = fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kilobytes = -1;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmRSS: %ld kB", &kilobytes) == 1) break;
    fclose(status);
    return kilobytes / 1024;
}

// New tables are zero, which is the cleared state: ucinewgame right after a Hash change does
// not write them again, and the search after it counts the nodes of a new game on cleared
// tables. Once a search or the eval command has written to them, ucinewgame clears them.
TEST(NewGame, FreshTablesAreNotWrittenAgain) {
    startEngine();
    const std::string a = std::string("fen ") + TwoKnights;
    // A new size draws new keys, and the tree depends on them: both searches run on these.
    setOption("Hash value 32");
    executeCommand(rootPosition, "ucinewgame");
    const uint64_t onFreshTables = search(a, 9);
    executeCommand(rootPosition, "ucinewgame");
    EXPECT_EQ(search(a, 9), onFreshTables);

    const long before = residentMegabytes();
    setOption("Hash value 512");
    executeCommand(rootPosition, "ucinewgame");
    if (before >= 0) {
        EXPECT_LT(residentMegabytes() - before, 256) << "the new tables were written";
    }

    setOption("Hash value 32");
    executeCommand(rootPosition, (std::string("position fen ") + Symmetric).c_str());
    executeCommand(rootPosition, "eval");
    ASSERT_FALSE(allBytesZero(PawnHashTable, pawnHashCount * sizeof(PawnHashEntry)));
    executeCommand(rootPosition, "ucinewgame");
    EXPECT_TRUE(allBytesZero(PawnHashTable, pawnHashCount * sizeof(PawnHashEntry)));
    EXPECT_TRUE(allBytesZero(EvalHash, evalHashCount * sizeof(uint64_t)));
    setOption("Hash value 16");
}

TEST(NewGameProcess, GoBeforeAnyPositionSearchesTheStartPosition) {
    EngineProcess engine;
    engine.skipBanner();
    Result r = searchThrough(engine, "", 1);
    EXPECT_TRUE(StartMoves.count(r.best)) << r.best;
    // After a game from another position, ucinewgame alone brings back the start position.
    r = searchThrough(engine, "fen 4k3/8/8/8/8/8/4p3/4K3 b - - 0 1", 1);
    EXPECT_FALSE(StartMoves.count(r.best)) << r.best;
    engine.send("ucinewgame");
    r = searchThrough(engine, "", 2);
    EXPECT_TRUE(StartMoves.count(r.best)) << r.best;
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(NewGameProcess, UcinewgameGivesTheNodeCountOfAFreshProcess) {
    const std::string a = std::string("fen ") + TwoKnights + " moves e1g1 f6e4";
    Result fresh;
    {
        OneThreadEngine engine;
        fresh = searchThrough(engine, a, 9);
    }
    ASSERT_FALSE(fresh.nodes.empty());

    OneThreadEngine engine;
    searchThrough(engine, std::string("fen ") + Symmetric, 8);
    searchThrough(engine, a, 6);
    engine.send("ucinewgame");
    const Result again = searchThrough(engine, a, 9);
    EXPECT_EQ(again.nodes, fresh.nodes);
    EXPECT_EQ(again.best, fresh.best);
}
