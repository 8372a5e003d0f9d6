// The time allocation of "go".
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "board/position.h"
#include "core/flags.h"
#include "core/params.h"
#include "search/limits.h"
#include "shell/go.h"
#include "shell/positioncommand.h"

namespace {

// "searchmoves" reads its moves against the position, so the fixture holds a real one.
struct GoTest : ::testing::Test {
    Position pos{};
    void SetUp() override {
        setDefaults();
        optionMoveOverhead = 0;  // the limits below are those of the whole clock
        initPosition(pos);
        positionCommand(pos, "startpos");
    }
    void TearDown() override { releasePosition(pos); }
};

TEST_F(GoTest, ClockWithoutMovesToGo) {
    parseGo(pos, "go wtime 60000 btime 1000");
    EXPECT_FALSE(untimedSearch);
    EXPECT_EQ(hardTimeLimit, 14990000);
    EXPECT_EQ(fullTimeLimit, 2400000);
    EXPECT_EQ(mainTimeLimit, 1800000);
    EXPECT_EQ(easyTimeLimit, 360000);
    optionPonder = 1;
    parseGo(pos, "go wtime 60000");
    EXPECT_EQ(easyTimeLimit, 2400000 * 33 / 100);
}

// The Move Overhead is taken off the clock before the limits are computed: 700 ms of it on a
// clock 700 ms longer give the limits of the shorter clock.
TEST_F(GoTest, MoveOverheadComesOffTheClock) {
    const struct {
        const char *clock, *longer;
    } Cases[] = {
        {"go wtime 60000 winc 1000", "go wtime 60700 winc 1000"},
        {"go wtime 60000 movestogo 3", "go wtime 60700 movestogo 3"},
        {"go wtime 800", "go wtime 1500"},
    };
    for (const auto& c : Cases) {
        optionMoveOverhead = 0;
        parseGo(pos, c.clock);
        const int64_t limits[] = {hardTimeLimit, fullTimeLimit, mainTimeLimit, easyTimeLimit};
        optionMoveOverhead = 700;
        parseGo(pos, c.longer);
        const int64_t withOverhead[] = {hardTimeLimit, fullTimeLimit, mainTimeLimit, easyTimeLimit};
        EXPECT_TRUE(std::equal(limits, limits + 4, withOverhead)) << c.clock;
    }
}

TEST_F(GoTest, IncrementAndAllocationCappedByHardLimit) {
    parseGo(pos, "go wtime 60000 winc 1000 binc 5000");
    EXPECT_EQ(fullTimeLimit, 3400000);
    parseGo(pos, "go wtime 1000 winc 50000");
    EXPECT_EQ(hardTimeLimit, 240000);
    EXPECT_EQ(fullTimeLimit, 240000);  // the increment cannot lift the allocation above the hard limit
    parseGo(pos, "go wtime 20");
    EXPECT_EQ(hardTimeLimit, 1000);  // 5 ms - 10 ms is below the minimum
}

TEST_F(GoTest, MovesToGo) {
    parseGo(pos, "go wtime 60000 movestogo 1");
    EXPECT_EQ(hardTimeLimit, 58000000);
    EXPECT_EQ(fullTimeLimit, 58000000);
    parseGo(pos, "go wtime 60000 movestogo 40");
    const int64_t as25 = hardTimeLimit;
    const int64_t full25 = fullTimeLimit;
    parseGo(pos, "go wtime 60000 movestogo 25");
    EXPECT_EQ(hardTimeLimit, as25);
    EXPECT_EQ(fullTimeLimit, full25);
    EXPECT_EQ(hardTimeLimit, 60000000LL * 25 / 97 - 1000000);
    // A negative count means nothing and is taken as absent.
    parseGo(pos, "go wtime 60000 movestogo -3");
    EXPECT_EQ(hardTimeLimit, 14990000);
}

TEST_F(GoTest, TheClockDecidesOverMovetime) {
    parseGo(pos, "go movetime 500 wtime 60000");
    EXPECT_EQ(hardTimeLimit, 14990000);
    parseGo(pos, "go movetime 500");
    EXPECT_EQ(hardTimeLimit, 500000);
    EXPECT_TRUE(untimedSearch);
    EXPECT_EQ(fullTimeLimit, Never);
    parseGo(pos, "go movetime 0");
    EXPECT_EQ(hardTimeLimit, 1000);
}

TEST_F(GoTest, OnlyTheSideToMovesClockCounts) {
    pos.sideToMove = Black;
    parseGo(pos, "go wtime 60000");
    EXPECT_TRUE(untimedSearch);
    EXPECT_EQ(hardTimeLimit, Never);
    parseGo(pos, "go btime 0");
    EXPECT_FALSE(untimedSearch);
    EXPECT_EQ(hardTimeLimit, 1000);
    EXPECT_LE(fullTimeLimit, 1000);
    EXPECT_LE(easyTimeLimit, 1000);
    parseGo(pos, "go btime -500");
    EXPECT_EQ(hardTimeLimit, 1000);
}

TEST_F(GoTest, KeywordsAndValues) {
    parseGo(pos, "go depth 7 infinite");
    EXPECT_EQ(depthLimit, 7);
    EXPECT_TRUE(infinite);
    EXPECT_FALSE(pondering);
    parseGo(pos, "go ponder depth x");
    EXPECT_EQ(depthLimit, 1);
    EXPECT_TRUE(pondering);
    EXPECT_FALSE(infinite);
    // A keyword at the end of the line has no value and is ignored; unknown keywords
    // are skipped one token at a time.
    parseGo(pos, "go searchmoves e2e4 depth");
    EXPECT_EQ(depthLimit, 255);
    parseGo(pos, "go wtime 99999999999999999999 movestogo 99999999999");
    EXPECT_GT(hardTimeLimit, 0);
    EXPECT_GT(fullTimeLimit, 0);
    // Every word of a long line is read.
    parseGo(pos, ("go " + std::string(3000, 'x') + " depth 4").c_str());
    EXPECT_EQ(depthLimit, 4);
}

}  // namespace
