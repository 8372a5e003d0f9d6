#include <gtest/gtest.h>

#include "core/types.h"

TEST(Score, PacksAndUnpacksBothHalves) {
    const Score s = makeScore(-17, -2);
    EXPECT_EQ(mgOf(s), -17);
    EXPECT_EQ(egOf(s), -2);
    EXPECT_EQ(mgOf(makeScore(5, -3) + makeScore(-7, 1)), -2);
    EXPECT_EQ(egOf(makeScore(5, -3) + makeScore(-7, 1)), -2);
    EXPECT_EQ(taper(makeScore(100, 20), 32), 100);
    EXPECT_EQ(taper(makeScore(100, 20), 0), 20);
}
