// The built-in benchmark, run with a short search per position.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "board/fen.h"
#include "board/position.h"
#include "shell/benchmark.h"
#include "shell/engine.h"
#include "core/flags.h"
#include "engine_process.h"
#include "shell/options.h"

namespace {

std::string readFile(const std::string& name) {
    std::ifstream in(name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(Benchmark, RunsEveryPositionTwiceQuietlyAndWritesItsTotals) {
    char folder[] = "/tmp/orvo-bench-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string console = std::string(folder) + "/console.txt";

    // Everything the engine prints goes to standard output: catch it in a file.
    fflush(stdout);
    const int savedOutput = dup(1);
    const int file = open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 1);
    close(file);
    char previousFolder[4096];
    ASSERT_NE(getcwd(previousFolder, sizeof previousFolder), nullptr);
    ASSERT_EQ(chdir(folder), 0);

    startUp();
    setOption("Hash value 8");
    runBenchmark(rootPosition, "go depth 2");

    ASSERT_EQ(chdir(previousFolder), 0);
    dup2(savedOutput, 1);
    close(savedOutput);

    const std::string output = readFile(console);
    const std::string dots(64, '.');
    EXPECT_NE(output.find(dots + "\n" + dots + "\ntotal nodes : "), std::string::npos) << output;
    EXPECT_EQ(output.find("info"), std::string::npos);
    EXPECT_EQ(output.find("bestmove"), std::string::npos);
    const size_t written = output.find("results written to:\nbenchmark_");
    ASSERT_NE(written, std::string::npos);
    const size_t nameStart = output.find("benchmark_", written);
    const std::string name = output.substr(nameStart, output.find('\n', nameStart) - nameStart);
    EXPECT_EQ(name.size(), std::string("benchmark_14-05_Dec-06.txt").size());

    const std::string results = readFile(std::string(folder) + "/" + name);
    EXPECT_TRUE(startsWith(results, "// Orvo 3.0 w32\n// benchmark results\n\ntotal nodes : ")) << results;
    // The file holds the totals printed on the console.
    unsigned long long nodes = 0, printedNodes = 0;
    ASSERT_EQ(sscanf(results.c_str() + results.find("total nodes"), "total nodes : %llu", &nodes), 1);
    ASSERT_EQ(sscanf(output.c_str() + output.find("total nodes"), "total nodes : %llu", &printedNodes), 1);
    EXPECT_EQ(nodes, printedNodes);
    EXPECT_GT(nodes, 128u);
    const std::string printedTimeLine =
        output.substr(output.find("total time"), output.find("kNPS") - output.find("total time"));
    EXPECT_NE(results.find(printedTimeLine), std::string::npos);
    // Thousands of nodes per second: the node total over the time in milliseconds, which
    // is printed truncated.
    unsigned long long ms = 0, kNps = 0;
    ASSERT_EQ(sscanf(printedTimeLine.c_str(), "total time  : %llu ms\ntotal NPS   : %llu", &ms, &kNps), 2);
    ASSERT_GT(ms, 0u);
    EXPECT_LE(kNps, nodes / ms);
    EXPECT_GE(kNps, nodes / (ms + 1));

    // Afterwards the start position is set up and nothing is left in benchmark mode.
    EXPECT_FALSE(benchMode);
    Position start{};
    initPosition(start);
    parseFen(start, StartFen);
    EXPECT_EQ(rootPosition.state->key, start.state->key);
    std::free(start.stateBase);
    EXPECT_EQ(rootPosition.sideToMove, White);

    remove(console.c_str());
    remove((std::string(folder) + "/" + name).c_str());
    rmdir(folder);
}
