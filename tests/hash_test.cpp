#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/params.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/pvhash.h"
#include "hash/sizing.h"
#include "hash/tablememory.h"
#include "hash/tt.h"
#include "movegen/history.h"
#include "platform/platform.h"
#include "search/heuristics.h"
#include "shell/hashoption.h"

namespace {

constexpr uint64_t MB = 1048576;

constexpr uint64_t keyOf(uint32_t check, uint32_t low) { return (uint64_t(check) << 32) | low; }

// Every test starts from small tables of the start-up sizes and no test seams.
class HashTest : public ::testing::Test {
protected:
    void SetUp() override {
        hashMemoryOverride = 0;
        hashAllocationCeiling = 0;
        sizePVHash(2);
        sizeEvalHash(256);
        optionHash = 1;
        resizeHashTables();
        clearHash();  // entries at generation 128, the counter at 0: the tests count from there
    }
    // The start-up sizes again, for the tests that run after these in the same process.
    void TearDown() override {
        hashMemoryOverride = 0;
        hashAllocationCeiling = 0;
        sizePVHash(2);
        sizeEvalHash(256);
    }
};

bool aligned(const void* p, uintptr_t alignment) { return reinterpret_cast<uintptr_t>(p) % alignment == 0; }

// Compares an entry's check, flags, lower depth and score, upper depth and score, and move.
::testing::AssertionResult holds(const TTEntry& e, uint32_t check, int flags, int lowerDepth, int lowerScore,
                                 int upperDepth, int upperScore, int move) {
    if (e.check == check && e.flags == flags && e.lowerDepth == lowerDepth && e.lowerScore == lowerScore &&
        e.upperDepth == upperDepth && e.upperScore == upperScore && e.move == move)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "entry is check " << e.check << " flags " << int(e.flags) << " lower " << int(e.lowerDepth)
           << "/" << e.lowerScore << " upper " << int(e.upperDepth) << "/" << e.upperScore << " move "
           << std::hex << e.move;
}

// Resizes from the given Hash value and returns what was printed.
std::string resizeWithOutput(int32_t hash) {
    optionHash = hash;
    ::testing::internal::CaptureStdout();
    sizeTablesByHashOption();
    return ::testing::internal::GetCapturedStdout();
}

// ---------------------------------------------------------------- sizing

TEST_F(HashTest, HashOptionIsTakenDownToAPowerOfTwo) {
    EXPECT_EQ(resizeWithOutput(100), "");
    EXPECT_EQ(optionHash, 64);
    EXPECT_EQ(hashEntryCount, uint64_t(1) << 22);
    EXPECT_EQ(hashMask, (uint64_t(1) << 22) - 4);
    EXPECT_TRUE(aligned(HashTable, 128));
    EXPECT_EQ(pawnHashCount, 8 * MB / 32);

    optionHash = 1;
    resizeHashTables();
    EXPECT_EQ(optionHash, 1);
    EXPECT_EQ(hashEntryCount, 65536u);
    EXPECT_EQ(hashMask, 65532u);
}

TEST_F(HashTest, PawnTableFollowsTheHashOption) {
    const struct {
        int32_t hash;
        uint64_t megabytes;
    } cases[] = {{256, 32}, {64, 8}, {8, 1}, {7, 1}, {1, 1}, {100, 8}};
    for (const auto& c : cases) {
        optionHash = c.hash;
        sizePawnHash();
        EXPECT_EQ(pawnHashCount, c.megabytes * 32768) << "Hash " << c.hash;
        EXPECT_EQ(pawnHashMask, pawnHashCount - 1);
        EXPECT_TRUE(aligned(PawnHashTable, 64));
    }
    EXPECT_EQ(pawnHashCount, 262144u);
}

TEST_F(HashTest, PVAndEvaluationTablesKeepTheirSizesAcrossResizing) {
    for (int32_t hash : {1, 8, 3}) {
        optionHash = hash;
        resizeHashTables();
        EXPECT_EQ(pvHashCount, 131072u);
        EXPECT_EQ(pvHashMask, 131068u);
        EXPECT_EQ(evalHashCount, 32768u);
        EXPECT_EQ(evalHashMask, 32767u);
        EXPECT_TRUE(aligned(PVHash, 64));
        EXPECT_TRUE(aligned(EvalHash, 64));
    }
    // Arguments are clamped and taken down to a power of two.
    sizePVHash(3);
    EXPECT_EQ(pvHashCount, 131072u);
    sizePVHash(0);
    EXPECT_EQ(pvHashCount, 65536u);
    sizeEvalHash(300);
    EXPECT_EQ(evalHashCount, 32768u);
    sizeEvalHash(-5);
    EXPECT_EQ(evalHashCount, 128u);
    EXPECT_EQ(evalHashMask, 127u);
}

TEST_F(HashTest, ResizingEmptiesTheTablesAndFreeingNullsThem) {
    const uint64_t key = keyOf(0xABCD0123, 0x4444);
    storeExact(key, 0x1234, 10, 77, TTExact, 1);
    storeEvalHash(key, 55);
    int score;
    optionHash = 2;
    resizeHashTables();
    EXPECT_EQ(probePV(key), NoMove);
    EXPECT_EQ(findPVEntry(key), nullptr);
    EXPECT_FALSE(probeEvalHash(key, score));
    for (int i = 0; i < 4; ++i) EXPECT_NE(ttCluster(key)[i].check, ttCheck(key));

    freePVHash();
    freePawnHash();
    freeHash();
    freeEvalHash();
    EXPECT_TRUE(!HashTable && !PawnHashTable && !PVHash && !EvalHash);
    clearHash();  // harmless without tables
    clearPawnHash();
    clearPVHash();
    clearEvalHash();
    resizeHashTables();
    EXPECT_TRUE(HashTable && PawnHashTable && PVHash && EvalHash);
}

// ---------------------------------------------------------------- memory shortage

TEST(HashBudget, LargestPowerOfTwoWithinHalfOfPhysicalMemory) {
    sizePVHash(2);
    sizeEvalHash(256);
    EXPECT_EQ(hashMegabytesThatFit(65536, 24 * 1024 * MB), 8192u);
    EXPECT_EQ(hashMegabytesThatFit(256, 24 * 1024 * MB), 256u);
    EXPECT_EQ(hashMegabytesThatFit(65536, 0), 65536u);  // unknown memory: no limit
    EXPECT_EQ(hashMegabytesThatFit(100, 0), 64u);
    // 16 + 2 (pawn) + 2 (PV) + 2 (evaluation) fits in 32 MB; 32 + 4 + 4 does not.
    EXPECT_EQ(hashMegabytesThatFit(64, 64 * MB), 16u);
    EXPECT_EQ(hashMegabytesThatFit(65536, 1 * MB), 1u);
}

TEST_F(HashTest, HashBeyondPhysicalMemoryIsReducedAndReported) {
    hashMemoryOverride = 256 * MB;
    EXPECT_EQ(resizeWithOutput(65536), "info string Hash reduced to 64 MB\n");
    EXPECT_EQ(optionHash, 64);
    EXPECT_EQ(hashEntryCount, 64 * 65536u);
    EXPECT_EQ(pawnHashCount, 8 * 32768u);
    // Within the budget nothing is said.
    EXPECT_EQ(resizeWithOutput(32), "");
    EXPECT_EQ(optionHash, 32);
}

// The largest Hash value against this machine's memory. The table itself is capped at
// 64 MB so that the test does not take half of the machine's memory for seconds.
TEST_F(HashTest, MaximumHashOnThisMachineIsReducedToFit) {
    const uint64_t physical = physicalMemoryBytes();
    if (physical == 0 || physical >= 2 * 65536 * MB) GTEST_SKIP() << "needs a machine with under 128 GB";
    const uint64_t fit = hashMegabytesThatFit(65536, physical);
    ASSERT_LT(fit, 65536u);
    EXPECT_EQ(fit & (fit - 1), 0u);
    const uint64_t auxiliary = pvHashCount * 16 + 2 * MB;
    EXPECT_LE((fit + pawnHashMegabytes(fit)) * MB + auxiliary, physical / 2);
    EXPECT_GT((2 * fit + pawnHashMegabytes(2 * fit)) * MB + auxiliary, physical / 2);

    hashAllocationCeiling = 64 * MB;
    EXPECT_EQ(resizeWithOutput(65536), "info string Hash reduced to 64 MB\n");
    EXPECT_EQ(optionHash, 64);
    EXPECT_EQ(hashEntryCount, 64 * 65536u);
    const uint64_t key = keyOf(0x11112222, 0x7FFFFFFC);
    storeLower(key, 0x0ABC, 6, 40, 0);
    EXPECT_EQ(ttCluster(key), HashTable + hashEntryCount - 4);
    EXPECT_EQ(ttCluster(key)->move, 0x0ABC);
}

TEST_F(HashTest, FailedAllocationsFallBackToSmallerTables) {
    hashAllocationCeiling = 4 * MB;
    EXPECT_EQ(resizeWithOutput(64), "info string Hash reduced to 4 MB\n");
    EXPECT_EQ(optionHash, 4);
    EXPECT_EQ(hashEntryCount, 4 * 65536u);
    EXPECT_EQ(hashMask, 4 * 65536u - 4);
    EXPECT_EQ(pawnHashCount, 32768u);

    // The evaluation table gives up its 2 MB minimum block before any of its entries.
    hashAllocationCeiling = 1 * MB;
    sizeEvalHash(256);
    EXPECT_EQ(evalHashCount, 32768u);
    EXPECT_NE(EvalHash, nullptr);
    sizePVHash(2);
    EXPECT_EQ(pvHashCount, 65536u);
    EXPECT_EQ(pvHashMask, 65532u);
}

TEST_F(HashTest, WithNoMemoryAtAllEveryTableStillWorks) {
    hashAllocationCeiling = 1;
    EXPECT_EQ(resizeWithOutput(256), "info string Hash reduced to 1 MB\n");
    EXPECT_EQ(optionHash, 1);
    ASSERT_NE(HashTable, nullptr);
    ASSERT_NE(PawnHashTable, nullptr);
    ASSERT_NE(PVHash, nullptr);
    ASSERT_NE(EvalHash, nullptr);
    EXPECT_EQ(hashEntryCount, 65536u);
    EXPECT_EQ(pawnHashCount, 32768u);
    EXPECT_EQ(pvHashCount, 65536u);
    EXPECT_EQ(evalHashCount, 128u);
    EXPECT_TRUE(aligned(HashTable, 128));

    const uint64_t key = keyOf(0xFEEDBEEF, 0xFFFFFFFF);
    storeExact(key, 0x0321, 8, -15, TTExact, 3);
    EXPECT_EQ(probePV(key), 0x0321);
    int score = 0;
    storeEvalHash(key, -300);
    EXPECT_TRUE(probeEvalHash(key, score));
    EXPECT_EQ(score, -300);
    PawnHashEntry plain{}, out{};
    plain.pawnScore = makeScore(12, -7);
    storePawnEntry(plain, key);
    readPawnEntry(key, out);
    EXPECT_EQ(out.lock, key);

    // Memory comes back: the tables leave the reserve (which must not be freed).
    hashAllocationCeiling = 0;
    sizePVHash(2);
    sizeEvalHash(256);
    optionHash = 8;
    resizeHashTables();
    EXPECT_EQ(hashEntryCount, 8 * 65536u);
    EXPECT_EQ(pvHashCount, 131072u);
    EXPECT_EQ(evalHashCount, 32768u);
}

// ---------------------------------------------------------------- transposition table

TEST_F(HashTest, ClearingAgesEveryEntryAndResetsTheGeneration) {
    storeLower(keyOf(5, 8), 0x0100, 4, 10, 7);
    nextGeneration();
    clearHash();
    EXPECT_EQ(hashGeneration, 0);
    bool allEmpty = true;
    for (uint64_t i = 0; i < hashEntryCount; ++i) {
        TTEntry expected{};
        expected.generation = 128;
        allEmpty &= std::memcmp(&HashTable[i], &expected, sizeof expected) == 0;
    }
    EXPECT_TRUE(allEmpty);

    hashGeneration = 254;
    EXPECT_EQ(nextGeneration(), 255);
    EXPECT_EQ(nextGeneration(), 0);
    EXPECT_EQ(hashGeneration, 0);
}

// A new table is not written: its zero entries with the generation counter at 128 age
// exactly like cleared entries (128, counter at 0), whether the block came from the system
// or is the reserve that an earlier table used.
TEST_F(HashTest, ANewTableAgesLikeAClearedOneWithoutBeingWritten) {
    // A ceiling of 1 refuses every block, so the reserve is used: the second time with the
    // entry just stored in it.
    for (const uint64_t ceiling : {uint64_t(0), uint64_t(1), uint64_t(1)}) {
        hashAllocationCeiling = ceiling;
        storeLower(keyOf(5, 8), 0x0100, 4, 10, 7);
        optionHash = 2;
        resizeHashTables();
        const uint8_t next = uint8_t(hashGeneration + 1);
        bool agedLikeCleared = true;
        for (uint64_t i = 0; i < hashEntryCount; ++i) {
            TTEntry cleared{};
            cleared.generation = HashTable[i].generation;
            agedLikeCleared &= std::memcmp(&HashTable[i], &cleared, sizeof cleared) == 0 &&
                               uint8_t(next - HashTable[i].generation) == uint8_t(1 - 128);
        }
        EXPECT_TRUE(agedLikeCleared) << "ceiling " << ceiling;
    }
}

TEST_F(HashTest, StoresAfterClearingTakeTheFirstEntryOfTheCluster) {
    const uint64_t keys[] = {keyOf(0x10, 0x100), keyOf(0x20, 0x204), keyOf(0x30, 0x308), keyOf(0x40, 0x30E)};
    storeLower(keys[0], 1, 4, 10, 0);
    storeUpper(keys[1], 4, 10, 0);
    storeLowerFlags(keys[2], 2, 4, 10, 0, 0);
    storeExact(keys[3], 3, 4, 10, TTExact, 0);
    for (uint64_t key : keys) {
        const TTEntry* cluster = ttCluster(key);
        EXPECT_TRUE(aligned(cluster, 64));
        EXPECT_EQ(cluster[0].check, ttCheck(key));
        for (int i = 1; i < 4; ++i) EXPECT_EQ(cluster[i].generation, 128) << i;
    }
    // The index is the low half AND the mask; the high half only gives the check.
    EXPECT_EQ(ttCluster(keyOf(0x77, 0x30B)), ttCluster(keys[2]));
    EXPECT_EQ(ttCluster(keyOf(0x55, 0x10000 + 0x100)), ttCluster(keys[0]));
}

TEST_F(HashTest, ReplacementPrefersOlderThenShallowerEntries) {
    const uint64_t key = keyOf(0x99, 0x400);
    TTEntry* cluster = ttCluster(key);
    auto fill = [&](int i, uint8_t generation, uint8_t lower, uint8_t upper) {
        cluster[i] = TTEntry{};
        cluster[i].check = 0x1000 + i;
        cluster[i].generation = generation;
        cluster[i].lowerDepth = lower;
        cluster[i].upperDepth = upper;
        cluster[i].lowerScore = 66;
        cluster[i].upperScore = 77;
        cluster[i].move = 0x0777;
    };
    fill(0, 10, 2, 0);
    fill(1, 9, 20, 0);
    fill(2, 9, 0, 6);  // as old as entry 1, shallower
    fill(3, 10, 1, 1);
    storeUpper(key, 8, -40, 10);
    EXPECT_TRUE(holds(cluster[2], 0x99, 0x06, 0, 0, 8, -40, 0));
    EXPECT_EQ(cluster[1].check, 0x1001u);

    // Age wraps around: generation 250 is eight searches older than generation 2.
    fill(0, 1, 1, 0);
    fill(1, 250, 40, 40);
    fill(2, 2, 1, 0);
    fill(3, 2, 1, 0);
    storeLower(key, 0x0555, 4, 5, 2);
    EXPECT_TRUE(holds(cluster[1], 0x99, 0x09, 4, 5, 0, 0, 0x0555));

    // Equal values: the lowest position wins.
    for (int i = 0; i < 4; ++i) fill(i, 3, 5, 5);
    storeLowerFlags(key, 0x0666, 4, 5, TTPVLower, 3);
    EXPECT_TRUE(holds(cluster[0], 0x99, 0x81, 4, 5, 0, 0, 0x0666));
    // Now that entry is the shallowest of equal age and goes next.
    storeUpperFlags(keyOf(0x98, 0x400), 6, -5, 0, 3);
    EXPECT_TRUE(holds(cluster[0], 0x98, 0x02, 0, 0, 6, -5, 0));

    // storeExact and storePV use the same ranking.
    for (int i = 0; i < 4; ++i) fill(i, 3, uint8_t(9 - i), 0);
    storeExact(key, 0x0777, 4, 5, TTExact, 3);
    EXPECT_EQ(cluster[3].check, 0x99u);
}

TEST_F(HashTest, ZeroWindowStoresKeepDeeperBoundsAndUpdateTheirOwnInPlace) {
    const uint64_t key = keyOf(0xCAFE, 0x800);
    const uint32_t c = ttCheck(key);
    TTEntry* cluster = ttCluster(key);
    storeUpper(key, 6, -20, 5);
    cluster[0].reserved[0] = 0xAB;
    // An empty lower half of the same position is filled in place (15 bits of the move).
    storeLower(key, 0x8123, 10, 50, 5);
    EXPECT_TRUE(holds(cluster[0], c, 0x0F, 10, 50, 6, -20, 0x0123));
    EXPECT_EQ(cluster[0].reserved[0], 0xAB);
    // Shallower results do not overwrite the deeper bounds: the lower one takes another
    // entry, whose empty upper half then takes the upper one.
    storeLower(key, 0x0456, 8, 60, 5);
    EXPECT_TRUE(holds(cluster[1], c, 0x09, 8, 60, 0, 0, 0x0456));
    storeUpper(key, 4, -30, 5);
    EXPECT_TRUE(holds(cluster[0], c, 0x0F, 10, 50, 6, -20, 0x0123));
    EXPECT_TRUE(holds(cluster[1], c, 0x0F, 8, 60, 4, -30, 0x0456));
    // Results at least as deep update the first qualifying entry.
    storeLower(key, 0x0789, 12, 70, 6);
    storeUpper(key, 6, -25, 6);
    EXPECT_TRUE(holds(cluster[0], c, 0x0F, 12, 70, 6, -25, 0x0789));
    EXPECT_EQ(cluster[0].generation, 6);

    // A lower half written by a PV search (no 0x08) is not the cut-node store's to update.
    const uint64_t other = keyOf(0xD00D, 0x900);
    storeLowerFlags(other, 0x0111, 4, 30, TTPVLower, 5);
    storeLower(other, 0x0222, 12, 80, 5);
    EXPECT_TRUE(holds(ttCluster(other)[0], 0xD00D, 0x81, 4, 30, 0, 0, 0x0111));
    EXPECT_TRUE(holds(ttCluster(other)[1], 0xD00D, 0x09, 12, 80, 0, 0, 0x0222));
}

TEST_F(HashTest, StoresWithFlagsLeaveExactEntriesAlone) {
    const uint64_t key = keyOf(0x1234, 0xC00);
    TTEntry* cluster = ttCluster(key);
    storeExact(key, 0x0042, 6, 25, TTExact, 1);
    const TTEntry exact = cluster[0];
    storeLowerFlags(key, 0x0043, 10, 90, TTPVLower, 1);
    EXPECT_TRUE(holds(cluster[1], 0x1234, 0x81, 10, 90, 0, 0, 0x0043));
    // The upper-bound store passes the exact entry and fills the empty upper half of the next.
    storeUpperFlags(key, 10, -90, TTPVUpper, 1);
    EXPECT_TRUE(holds(cluster[1], 0x1234, 0xC3, 10, 90, 10, -90, 0x0043));
    EXPECT_EQ(std::memcmp(&cluster[0], &exact, sizeof exact), 0);

    const uint64_t other = keyOf(0x5678, 0xC40);
    storeExact(other, 0x0042, 2, 25, TTExact, 1);
    storeUpperFlags(other, 10, -90, 0, 1);
    EXPECT_TRUE(holds(ttCluster(other)[0], 0x5678, TTExact, 2, 25, 2, 25, 0x0042));
    EXPECT_TRUE(holds(ttCluster(other)[1], 0x5678, TTUpper, 0, 0, 10, -90, 0));
}

TEST_F(HashTest, StoresWithFlagsReplaceTheMarksOfTheirHalf) {
    const uint64_t key = keyOf(0x4321, 0xD00);
    TTEntry* cluster = ttCluster(key);
    storeLower(key, 0x0101, 4, 10, 1);
    storeUpper(key, 4, 5, 1);
    storeLowerFlags(key, 0x0202, 6, 20, TTPVLower, 1);
    EXPECT_TRUE(holds(cluster[0], 0x4321, 0x87, 6, 20, 4, 5, 0x0202));
    storeLowerFlags(key, 0x0303, 8, 30, 0, 1);
    EXPECT_TRUE(holds(cluster[0], 0x4321, 0x07, 8, 30, 4, 5, 0x0303));
    storeUpperFlags(key, 6, 15, TTPVUpper, 1);
    EXPECT_TRUE(holds(cluster[0], 0x4321, 0x43, 8, 30, 6, 15, 0x0303));
    // Shallower than the stored bound: a new entry, the old one untouched.
    storeUpperFlags(key, 2, 99, 0, 1);
    EXPECT_TRUE(holds(cluster[0], 0x4321, 0x43, 8, 30, 6, 15, 0x0303));
    EXPECT_TRUE(holds(cluster[1], 0x4321, 0x02, 0, 0, 2, 99, 0));
}

TEST_F(HashTest, StoreExactLeavesOneEntryPerPositionAtOrBelowItsDepth) {
    const uint64_t key = keyOf(0x7777, 0xE00);
    TTEntry* cluster = ttCluster(key);
    const uint8_t g = 9;
    storeLower(key, 0x0011, 4, 1, g);          // entry 0
    storeLower(key, 0x0022, 2, 2, g);          // entry 1 (entry 0 is deeper)
    storeUpperFlags(key, 12, 3, 0, g);         // entry 0 again, now depth 12
    storeLowerFlags(key, 0x0033, 1, 4, 0, g);  // entry 2
    ASSERT_EQ(cluster[2].lowerDepth, 1);
    cluster[3] = TTEntry{};  // another position, written this search
    cluster[3].check = 0x9999;
    cluster[3].generation = g;
    cluster[3].lowerDepth = 20;

    storeExact(key, 0x0044, 8, 17, TTExact, g);
    // The deeper entry stays; the first shallower one takes the result ...
    EXPECT_TRUE(holds(cluster[0], 0x7777, 0x0B, 4, 1, 12, 3, 0x0011));
    EXPECT_TRUE(holds(cluster[1], 0x7777, TTExact, 8, 17, 8, 17, 0x0044));
    EXPECT_EQ(cluster[1].generation, g);
    // ... and the further shallower one is emptied and aged to go next.
    TTEntry emptied{};
    emptied.generation = g ^ 128;
    EXPECT_EQ(std::memcmp(&cluster[2], &emptied, sizeof emptied), 0);
    EXPECT_EQ(cluster[3].check, 0x9999u);
    storeLower(keyOf(0x8888, 0xE00), 0x0055, 30, 0, g);
    EXPECT_EQ(cluster[2].check, 0x8888u);

    // A position without moves; nothing of it is shallower, so the least valuable entry goes.
    storeExact(key, NoMove, 4, 0, TTExact | TTNoMoves, g);
    EXPECT_TRUE(holds(cluster[1], 0x7777, 0x30, 4, 0, 4, 0, 0));
    ASSERT_NE(findPVEntry(key), nullptr);
    EXPECT_EQ(probePV(key), NoMove);
}

// ---------------------------------------------------------------- PV hash

TEST_F(HashTest, PVStoresOverwriteTheSameKeyWhateverTheDepth) {
    const uint64_t key = keyOf(0x0BAD, 0x1004);
    storePV(key, 0x0123, 12, 40, 1);
    storePV(key, 0x0456, 4, -15, 2);
    const PVEntry* cluster = pvCluster(key);
    int copies = 0;
    for (int i = 0; i < 4; ++i) copies += cluster[i].key == key;
    EXPECT_EQ(copies, 1);
    const PVEntry* e = findPVEntry(key);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->move, 0x0456);
    EXPECT_EQ(e->score, -15);
    EXPECT_EQ(e->depth, 4);
    EXPECT_EQ(e->generation, 2);
    EXPECT_EQ(probePV(key), 0x0456);
    EXPECT_EQ(probePV(key ^ (uint64_t(1) << 63)), NoMove);  // the full key must match

    clearPVHash();
    EXPECT_EQ(probePV(key), NoMove);
    EXPECT_EQ(findPVEntry(key), nullptr);
}

TEST_F(HashTest, PVReplacementPrefersOlderThenShallowerEntries) {
    const uint32_t low = 0x2000;
    storePV(keyOf(1, low), 0x0001, 10, 0, 4);
    storePV(keyOf(2, low), 0x0002, 6, 0, 4);
    storePV(keyOf(3, low), 0x0003, 2, 0, 5);
    storePV(keyOf(4, low), 0x0004, 3, 0, 5);
    const PVEntry* cluster = pvCluster(keyOf(1, low));
    for (int i = 0; i < 4; ++i) ASSERT_EQ(cluster[i].key, keyOf(uint32_t(i + 1), low));
    // Keys 1 and 2 are one search older; key 2 is the shallower of them.
    storePV(keyOf(5, low), 0x0005, 20, 0, 5);
    EXPECT_EQ(probePV(keyOf(2, low)), NoMove);
    EXPECT_EQ(cluster[1].key, keyOf(5, low));
    EXPECT_EQ(probePV(keyOf(5, low)), 0x0005);
    EXPECT_EQ(probePV(keyOf(1, low)), 0x0001);
}

// ---------------------------------------------------------------- pawn and evaluation hashes

TEST_F(HashTest, PawnEntriesPassTheirLockCheckUnlessTorn) {
    const uint64_t pawnKey = 0x0123456789ABCDEFull;
    PawnHashEntry plain{};
    plain.lock = 0xDEADDEADDEADDEADull;  // ignored by the store
    plain.whitePawnFiles = 6;
    plain.blackPawnFiles = 5;
    plain.openFiles = 1;
    plain.whiteShelter = 30 << 16;
    plain.blackShelter = 45 << 16;
    plain.whitePawnsLight = 9;
    plain.blackPawnsDark = 11;
    plain.whitePassedFiles = 0x81;
    plain.blackDrawWeight = 30;
    plain.pawnScore = makeScore(-12, 34);
    storePawnEntry(plain, pawnKey);

    PawnHashEntry out;
    readPawnEntry(pawnKey, out);
    EXPECT_EQ(out.lock, pawnKey);
    EXPECT_EQ(
        std::memcmp(reinterpret_cast<const char*>(&out) + 8, reinterpret_cast<const char*>(&plain) + 8, 24),
        0);

    uint64_t* slot = pawnSlot(pawnKey);
    EXPECT_TRUE(aligned(slot, 32));
    EXPECT_EQ(slot[0], pawnKey ^ slot[1] ^ slot[2] ^ slot[3]);
    for (int word = 1; word < 4; ++word) {
        slot[word] ^= uint64_t(1) << (word * 13);
        readPawnEntry(pawnKey, out);
        EXPECT_NE(out.lock, pawnKey) << "word " << word;
        slot[word] ^= uint64_t(1) << (word * 13);
    }
    readPawnEntry(pawnKey, out);
    EXPECT_EQ(out.lock, pawnKey);

    // Another key in the same slot does not match.
    const uint64_t other = pawnKey ^ (uint64_t(1) << 50);
    ASSERT_EQ(pawnSlot(other), slot);
    readPawnEntry(other, out);
    EXPECT_NE(out.lock, other);
}

TEST_F(HashTest, EvaluationHashRoundTripsSignedScores) {
    int score = 0;
    const uint64_t base = 0x0F1E2D3C4B5A6978ull;
    for (int value : {1, -1, 250, -12345, 32767, -32768, 0}) {
        const uint64_t key = base + uint64_t(value + 40000) * 0x10001;
        storeEvalHash(key, value);
        ASSERT_TRUE(probeEvalHash(key, score)) << value;
        EXPECT_EQ(score, value);
    }
    // The entry layout: key bits above the stored score, in the slot of the folded low half.
    const uint64_t key = 0xAAAABBBBCCCCDDDDull;
    storeEvalHash(key, -2);
    EXPECT_EQ(EvalHash[(0xCCCCDDDDu ^ 0x12345678u) & evalHashMask], 0xAAAABBBBCCCCFFFEull);

    // Keys that share the slot but differ in the high half or the top of the low half do not match.
    score = 77;
    EXPECT_FALSE(probeEvalHash(key ^ (uint64_t(1) << 40), score));
    EXPECT_FALSE(probeEvalHash(key ^ (uint64_t(1) << 20), score));
    EXPECT_EQ(score, 77);
    EXPECT_FALSE(probeEvalHash(0x1111222233334444ull, score));  // never stored
}

// ---------------------------------------------------------------- threads

// The tables as the search threads use them: no locks.
class SharedTables : public HashTest {};

// Four threads store every kind of result into the same two clusters and probe them, and
// bump one history counter, all at once. Entries may mix fields of different writers, but
// every field keeps a value that some writer gave it (and the thread sanitizer sees every
// access as atomic).
TEST_F(SharedTables, StoresAndProbesFromSeveralThreadsAtOnce) {
    constexpr int Threads = 4;
    const uint32_t lows[2] = {0x40, 0x80};
    Position pos{};
    pos.board[E2] = WhitePawn;
    const Move pawnMove = encodeMove(E2, E4);
    historyOf(pos, pawnMove) = HistoryStartValue;

    auto work = [&](int t) {
        const Move move = Move(0x0100 + t);
        const int score = 100 + t;
        long seen = 0;
        for (int i = 0; i < 20000; ++i) {
            const uint64_t key = keyOf(0x1000 + t, lows[i & 1]);
            const int depth = 2 + i % 30;
            switch (i % 5) {
                case 0:
                    storeLower(key, move, depth, score, 1);
                    break;
                case 1:
                    storeUpper(key, depth, -score, 1);
                    break;
                case 2:
                    storeLowerFlags(key, move, depth, score, TTPVLower, 1);
                    break;
                case 3:
                    storeUpperFlags(key, depth, -score, TTPVUpper, 1);
                    break;
                default:
                    storeExact(key, move, depth, score, TTExact, 1);
                    break;
            }
            TTEntry* cluster = ttCluster(key);
            for (int k = 0; k < 4; ++k) {
                TTEntry& e = cluster[k];
                if (e.check != ttCheck(key)) continue;
                seen += e.move + e.lowerScore + e.upperScore + e.lowerDepth;
                if (e.flags & TTExact) e.generation = 1;
            }
            seen += probePV(key);
            if (i % 3)
                historyBonus(pos, pawnMove, depth);
            else
                historyPenalty(pos, pawnMove, depth);
        }
        return seen;
    };
    std::atomic<long> seen{0};
    std::vector<std::thread> threads;
    for (int t = 1; t < Threads; ++t) threads.emplace_back([&, t] { seen += work(t); });
    seen += work(0);
    for (std::thread& thread : threads) thread.join();
    EXPECT_GT(seen, 0);  // the probes found entries of their own keys

    auto written = [](int value, int low, int high) { return value == 0 || (value >= low && value <= high); };
    for (uint32_t low : lows) {
        const TTEntry* cluster = ttCluster(keyOf(0, low));
        const PVEntry* pvEntries = pvCluster(keyOf(0, low));
        for (int k = 0; k < 4; ++k) {
            const TTEntry& e = cluster[k];
            if (e.check >= 0x1000 && e.check < 0x1000 + Threads) {
                EXPECT_TRUE(written(e.move, 0x0100, 0x0100 + Threads - 1)) << std::hex << e.move;
                EXPECT_TRUE(written(e.lowerScore, 100, 100 + Threads - 1)) << e.lowerScore;
                EXPECT_TRUE(written(std::abs(e.upperScore), 100, 100 + Threads - 1)) << e.upperScore;
                EXPECT_TRUE(written(e.lowerDepth, 2, 31) && written(e.upperDepth, 2, 31));
            } else {
                EXPECT_EQ(e.check, 0u);  // cleared, or emptied by an exact store
            }
            const PVEntry& pv = pvEntries[k];
            if (pv.key == 0) continue;
            EXPECT_EQ(uint32_t(pv.key), low);
            EXPECT_TRUE(written(pv.move, 0x0100, 0x0100 + Threads - 1)) << std::hex << pv.move;
            EXPECT_TRUE(written(pv.score, 100, 100 + Threads - 1)) << pv.score;
        }
    }
    EXPECT_LE(historyOf(pos, pawnMove), HistoryMax);
}

}  // namespace
