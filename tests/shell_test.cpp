// The command loop and the options, through the real binary and directly.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <string>
#include <thread>

#include "core/params.h"
#include "engine_process.h"
#include "shell/command.h"
#include "shell/options.h"
#include "smp/threads.h"

TEST(ShellProcess, BannerComesBeforeAnyCommand) {
    EngineProcess engine;
    EXPECT_EQ(engine.readLine(), "Orvo 3.0 w32");
    // The empty line comes once the tables are allocated and cleared, which takes a
    // sanitizer build seconds: as long as skipBanner allows.
    EXPECT_EQ(engine.readLine(10000), "");
    // The quit is read only after the rest of start-up, which clears every table: the
    // default bound on the exit allows for a sanitizer build's slow clearing.
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
}

TEST(ShellProcess, UciIdentificationAndOptions) {
    EngineProcess engine;
    engine.skipBanner();
    engine.send("uci");
    EXPECT_EQ(engine.readLine(), "id name Orvo 3.0 w32");
    EXPECT_EQ(engine.readLine(), "id author Quennethar");
    EXPECT_EQ(engine.readLine(), "option name Hash type spin min 1 max 65536 default 256");
    EXPECT_EQ(engine.readLine(), "option name Threads type spin min 1 max 12 default 12");
    EXPECT_EQ(engine.readLine(), "option name MultiPV type spin min 1 max 250 default 1");
    EXPECT_EQ(engine.readLine(), "option name Ponder type check default false");
    EXPECT_EQ(engine.readLine(), "option name UCI_Chess960 type check default false");
    EXPECT_EQ(engine.readLine(), "option name UCI_ShowWDL type check default false");
    EXPECT_EQ(engine.readLine(), "option name Clear Hash type button");
    EXPECT_EQ(engine.readLine(), "option name Move Overhead type spin min 0 max 5000 default 10");
    EXPECT_EQ(engine.readLine(), "option name UCI_LimitStrength type check default false");
    EXPECT_EQ(engine.readLine(), "option name UCI_Elo type spin min 1350 max 2850 default 1500");
    EXPECT_EQ(engine.readLine(), "uciok");
    engine.send("isready");
    EXPECT_EQ(engine.readLine(), "readyok");
}

TEST(ShellProcess, LinesThatNameNoCommandPrintNothing) {
    EngineProcess engine;
    engine.skipBanner();
    engine.send("uci ");
    engine.send("");
    engine.send("hello world");
    engine.send("  isready");
    engine.send("stop");
    engine.send("ponderhit");
    engine.sendRaw("isready\r\n");
    EXPECT_EQ(engine.readLine(), "readyok");
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
    EXPECT_EQ(engine.readLine(100), std::nullopt);
}

TEST(ShellProcess, SettingTheSameHashTwiceResizesOnce) {
    EngineProcess engine;
    engine.skipBanner();
    engine.send("setoption name Hash value 8");
    engine.send("setoption name Hash value 8");
    engine.send("setoption name Has value 16");  // a prefix of the name matches
    engine.send("setoption name Hash value 256");
    engine.send("isready");
    EXPECT_EQ(engine.readLine(), "");
    EXPECT_EQ(engine.readLine(), "");
    EXPECT_EQ(engine.readLine(), "");
    EXPECT_EQ(engine.readLine(), "readyok");
}

TEST(ShellProcess, QuitExitsQuietlyWithCodeZero) {
    EngineProcess engine;
    engine.skipBanner();
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(), 0);
    EXPECT_EQ(engine.readLine(100), std::nullopt);
}

TEST(ShellProcess, ClosedInputExitsWithinOneSecond) {
    EngineProcess engine;
    engine.skipBanner();
    const auto start = std::chrono::steady_clock::now();
    engine.closeInput();
    EXPECT_EQ(engine.waitExit(1000 * SlowBuildFactor), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1) * SlowBuildFactor);
}

TEST(ShellProcess, OverlongLineIsCutAndTheNextLineStillWorks) {
    EngineProcess engine;
    engine.skipBanner();
    engine.send(std::string(200000, 'x'));
    engine.send("isready");
    EXPECT_EQ(engine.readLine(), "readyok");
    // A last line without its line feed is still executed before the end of the input.
    engine.sendRaw("isready");
    engine.closeInput();
    EXPECT_EQ(engine.readLine(), "readyok");
    EXPECT_EQ(engine.waitExit(), 0);
}

// Descriptor 0 swapped for a pipe: POSIX only.
#ifndef _WIN32
// Feeds bytes to readInputLine through a pipe put in place of standard input.
class InputLineTest : public ::testing::Test {
protected:
    int savedInput = -1;
    int writeEnd = -1;
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        savedInput = dup(0);
        dup2(fds[0], 0);
        close(fds[0]);
        writeEnd = fds[1];
    }
    void TearDown() override {
        if (writeEnd >= 0) close(writeEnd);
        dup2(savedInput, 0);
        close(savedInput);
    }
    void feed(const std::string& bytes) {
        // Written from a thread so that lines longer than the pipe buffer do not block.
        std::string copy = bytes;
        int fd = writeEnd;
        writer = std::thread([fd, copy] {
            size_t done = 0;
            while (done < copy.size()) {
                ssize_t n = write(fd, copy.data() + done, copy.size() - done);
                if (n <= 0) break;
                done += size_t(n);
            }
        });
    }
    void finish() {
        if (writer.joinable()) writer.join();
        close(writeEnd);
        writeEnd = -1;
    }
    std::thread writer;
};

TEST_F(InputLineTest, LongLinesAreCutAtTheBufferEnd) {
    static char buffer[InputLineSize];
    const std::string fits(InputLineSize - 2, 'a');
    const std::string tooLong(InputLineSize + 5000, 'b');
    feed(fits + "\n" + tooLong + "\r\nnext\r\n" + "last");
    ASSERT_TRUE(readInputLine(buffer));
    EXPECT_EQ(std::string(buffer), fits);
    ASSERT_TRUE(readInputLine(buffer));
    EXPECT_EQ(std::string(buffer), std::string(InputLineSize - 2, 'b'));
    ASSERT_TRUE(readInputLine(buffer));
    EXPECT_EQ(std::string(buffer), "next");
    finish();
    ASSERT_TRUE(readInputLine(buffer));
    EXPECT_EQ(std::string(buffer), "last");
    EXPECT_FALSE(readInputLine(buffer));
}
#endif

TEST(Options, SpinValuesAreClampedAndMatchedByPrefix) {
    setDefaults();
    optionMultiPV = 1;
    setOption("MultiPV value 0");
    EXPECT_EQ(optionMultiPV, 1);
    setOption("  Multi value 300\t ");
    EXPECT_EQ(optionMultiPV, 250);
    setOption("MultiPV value abc");  // not a number: unchanged
    EXPECT_EQ(optionMultiPV, 250);
    setOption("MultiPV value 1");
    setOption("MultiPV  value 7");  // two blanks before "value": the name no longer matches
    EXPECT_EQ(optionMultiPV, 1);
    setOption("MultiPV value 99999999999999");
    EXPECT_EQ(optionMultiPV, 250);
    setOption("MultiPV value");  // no value: unchanged
    EXPECT_EQ(optionMultiPV, 250);
    setOption("MultiPV value -7x");  // a number, then other characters: the number counts
    EXPECT_EQ(optionMultiPV, 1);
    setOption("value 3");
    EXPECT_EQ(optionMultiPV, 1);
}

TEST(Options, CheckValuesAreCaseSensitive) {
    setDefaults();
    setOption("Ponder value TRUE");
    EXPECT_EQ(optionPonder, 0);
    setOption("Ponder value true");
    EXPECT_EQ(optionPonder, 1);
    setOption("Ponder value 1");
    EXPECT_EQ(optionPonder, 1);
    setOption("Ponder value false");
    EXPECT_EQ(optionPonder, 0);
}

TEST(Options, ThreadsUnchangedRestartsNothing) {
    setDefaults();
    const int before = workerStarts;
    setOption("Threads value 12");
    EXPECT_EQ(workerStarts, before);
    setOption("Threads value 1");
    EXPECT_EQ(workerStarts, before + 1);
    EXPECT_EQ(threadCount, 1);
    setOption("Threads value 12");
    EXPECT_EQ(workerStarts, before + 2);
}
