#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/params.h"
#include "eval/material.h"
#include "eval_fixture.h"

// Material from two strings of piece letters: Q, R, L (light-squared bishop),
// D (dark-squared bishop), N and P.
static MaterialCounts mat(const std::string& white, const std::string& black) {
    MaterialCounts c{};
    for (char ch : white) {
        if (ch == 'Q') ++c.wQ;
        if (ch == 'R') ++c.wR;
        if (ch == 'L') ++c.wBl;
        if (ch == 'D') ++c.wBd;
        if (ch == 'N') ++c.wN;
        if (ch == 'P') ++c.wP;
    }
    for (char ch : black) {
        if (ch == 'Q') ++c.bQ;
        if (ch == 'R') ++c.bR;
        if (ch == 'L') ++c.bBl;
        if (ch == 'D') ++c.bBd;
        if (ch == 'N') ++c.bN;
        if (ch == 'P') ++c.bP;
    }
    return c;
}

// The same material with the colours exchanged (bishops keep their square colour).
static MaterialCounts swapColours(const MaterialCounts& c) {
    return {c.bQ, c.wQ, c.bR, c.wR, c.bBl, c.bBd, c.wBl, c.wBd, c.bN, c.wN, c.bP, c.wP};
}

static MaterialAnchors negated(MaterialAnchors a) {
    for (int& x : a) x = -x;
    return a;
}

class MaterialTableTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setDefaults();
        initMaterialTable();
    }
    static const MaterialEntry& entry(const MaterialCounts& c) { return MaterialTable[materialIndex(c)]; }
};

TEST_F(MaterialTableTest, IndexRoundTripsAndAgreesWithIncrements) {
    for (int i = 0; i < MaterialTableSize; ++i) ASSERT_EQ(materialIndex(decodeMaterialIndex(i)), i);

    // Summing the make/unmake increments over the start position gives its index and phase.
    const uint8_t startMen[] = {7, 6, 6, 4, 5, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1};
    uint32_t info = 0;
    for (uint8_t code : startMen) info += MaterialIncrement[code] + MaterialIncrement[code + 8];
    const MaterialCounts start = mat("QRRLDNNPPPPPPPP", "QRRLDNNPPPPPPPP");
    EXPECT_EQ(int(info >> 8), materialIndex(start));
    EXPECT_EQ(int(info & 0xFF), materialPhase(start));
}

TEST_F(MaterialTableTest, WorkedExamples) {
    const MaterialCounts start = mat("QRRLDNNPPPPPPPP", "QRRLDNNPPPPPPPP");
    EXPECT_EQ(materialPhase(start), 32);
    EXPECT_EQ(entry(start).value, 0);
    EXPECT_EQ(entry(start).scale, 128);
    EXPECT_EQ(entry(start).flags, 0x03);

    const MaterialCounts kpk = mat("P", "");
    EXPECT_EQ(materialAnchors(kpk), (MaterialAnchors{72, 81, 99, 112}));
    EXPECT_EQ(materialPhase(kpk), 0);
    EXPECT_EQ(entry(kpk).value, 112);
    EXPECT_EQ(entry(kpk).scale, 184);
    EXPECT_EQ(entry(kpk).flags, 0x1C);
    EXPECT_EQ(entry(swapColours(kpk)).value, -112);
    EXPECT_EQ(entry(swapColours(kpk)).scale, 184);
    EXPECT_EQ(entry(swapColours(kpk)).flags, 0x1C);

    const MaterialCounts krkn = mat("R", "N");
    EXPECT_EQ(materialAnchors(krkn), (MaterialAnchors{149, 189, 254, 279}));
    EXPECT_EQ(materialPhase(krkn), 4);
    EXPECT_EQ(interpolateAnchors(materialAnchors(krkn), 4), 266);
    EXPECT_EQ(scaleTenths(krkn, true), 2);
    EXPECT_EQ(entry(krkn).value, 53);
    EXPECT_EQ(entry(krkn).scale, 128);
    EXPECT_EQ(entry(krkn).flags, 0x42);
    // Mirrored: the arithmetic shift rounds -266.5 down, and the scale truncates back to -53.
    const MaterialCounts knkr = swapColours(krkn);
    EXPECT_EQ(interpolateAnchors(materialAnchors(knkr), 4), -267);
    EXPECT_EQ(entry(knkr).value, -53);
    EXPECT_EQ(entry(knkr).flags, 0x21);
}

// Anchors worked out by hand from the terms and the special corrections.
TEST_F(MaterialTableTest, SpecialCorrectionsWorkedByHand) {
    struct Case {
        const char *white, *black;
        MaterialAnchors anchors;
    };
    const Case cases[] = {
        // Rook and bishop against rook and knight, pawns equal: base (23, 33, 35, 41) + K1.
        {"RL", "RN", {25, 35, 38, 45}},
        // The same with three pawns each: the knight's pawn term changes the base to (23, 27, 23, 26).
        {"RLPPP", "RNPPP", {25, 29, 26, 30}},
        // Two rooks against a queen, no minors, pawns equal: base (6, 4, 16, -21) + K4.
        {"RR", "Q", {14, 14, 30, -5}},
        // A rook against two minors and a pawn: base (-198, -184, -169, -192) - 3 U.
        {"R", "NLP", {-201, -187, -175, -198}},
    };
    for (const Case& c : cases) {
        const MaterialCounts m = mat(c.white, c.black);
        EXPECT_EQ(materialAnchors(m), c.anchors) << c.white << " v " << c.black;
        EXPECT_EQ(materialAnchors(swapColours(m)), negated(c.anchors)) << c.black << " v " << c.white;
    }
}

TEST_F(MaterialTableTest, ScaleRuleExamples) {
    struct Case {
        const char *strong, *weak;
        int tenths;
    };
    const Case cases[] = {
        {"N", "", 0},   {"L", "", 0},    {"D", "", 0},        {"NN", "", 0},    {"LN", "", 10},
        {"LD", "", 10}, {"R", "", 10},   {"R", "N", 2},       {"R", "L", 1},    {"Q", "R", 7},
        {"RP", "R", 8}, {"RL", "R", 1},  {"RN", "R", 1},      {"LD", "N", 8},   {"LP", "L", 3},
        {"LP", "D", 3}, {"QP", "Q", 7},  {"QPPP", "QPPP", 5}, {"R", "R", 1},    {"Q", "Q", 1},
        {"NN", "P", 3}, {"QP", "RP", 5}, {"QP", "R", 10},     {"Q", "LNPP", 5}, {"QRRLDNN", "QRRLDNN", 1},
    };
    for (const Case& c : cases) {
        const MaterialCounts m = mat(c.strong, c.weak);
        const MaterialCounts mirrored = swapColours(m);
        EXPECT_EQ(scaleTenths(m, true), c.tenths) << c.strong << " v " << c.weak;
        EXPECT_EQ(scaleTenths(mirrored, false), c.tenths) << c.weak << " v " << c.strong;

        const MaterialEntry e = entry(m), f = entry(mirrored);
        EXPECT_LE(std::abs(e.value + f.value), 1) << c.strong << " v " << c.weak;
        EXPECT_EQ(e.scale, f.scale);
        EXPECT_EQ(f.flags, swapFlagColours(e.flags));
        const int h = interpolateAnchors(materialAnchors(m), materialPhase(m));
        if (h > 0 && c.tenths == 0) {
            EXPECT_EQ(e.value, 0) << c.strong << " v " << c.weak;
        }
        if (h > 0 && c.tenths == 10) {
            EXPECT_EQ(e.value, h) << c.strong << " v " << c.weak;
        }
    }
}

TEST_F(MaterialTableTest, ScaleBytesAndFlags) {
    struct Case {
        const char *white, *black;
        int scale, flags;
    };
    const Case cases[] = {
        {"", "", 192, 0x00},
        {"PPP", "PP", 168, 0x00},
        {"", "P", 184, 0x1C},
        {"NPP", "NPPPPP", 133, 0x63 | 20},  // five pawns on one side keep both knights real pieces
        {"QP", "Q", 113, 0x03 | 4},
        {"RPPP", "R", 102, 0x03 | 8},
        {"RLP", "RD", 113, 0x03},
        {"RLP", "RL", 128, 0x03},
        {"LPP", "LP", 124, 0x60 | 12},
        {"LPP", "DP", 56, 0x60 | 16},
        {"N", "N", 128, 0x60 | 20},
        {"LP", "N", 128, 0x60 | 24},
        {"N", "DPPPP", 128, 0x60 | 24},
        {"LN", "", 128, 0x82},
        {"", "DN", 128, 0x81},
        {"LNP", "", 128, 0x02},
        {"LD", "", 128, 0x02},
        {"RL", "R", 128, 0x03},
        {"QRRLDNNPPPPPPPP", "QRRLDNNPPPPPPPP", 128, 0x03},
    };
    for (const Case& c : cases) {
        const MaterialEntry e = entry(mat(c.white, c.black));
        EXPECT_EQ(e.scale, c.scale) << c.white << " v " << c.black;
        EXPECT_EQ(e.flags, c.flags) << c.white << " v " << c.black;
    }
}

// Exchanging the colours negates the value and mirrors the flags. The interpolation rounds
// down with an arithmetic shift, so values can differ by one point in Black's favour; the
// blend is exact at phases 0, 8, 24 and 32 and there the negation must be exact.
TEST_F(MaterialTableTest, ColourMirrorSymmetry) {
    for (int i = 0; i < MaterialTableSize; ++i) {
        const MaterialCounts c = decodeMaterialIndex(i);
        const MaterialCounts m = swapColours(c);
        const MaterialEntry e = MaterialTable[i], f = MaterialTable[materialIndex(m)];
        ASSERT_EQ(materialAnchors(m), negated(materialAnchors(c))) << i;
        ASSERT_EQ(scaleTenths(c, true), scaleTenths(m, false)) << i;
        ASSERT_EQ(e.scale, f.scale) << i;
        ASSERT_EQ(f.flags, swapFlagColours(e.flags)) << i;
        const int phase = materialPhase(c);
        ASSERT_LE(phase, 32);
        if (phase == 0 || phase == 8 || phase == 24 || phase == 32)
            ASSERT_EQ(e.value, -f.value) << i;
        else
            ASSERT_LE(std::abs(e.value + f.value), 1) << i;

        // Only the relation between the bishops' square colours matters.
        const MaterialCounts recoloured = {c.wQ,  c.bQ,  c.wR, c.bR, c.wBd, c.wBl,
                                           c.bBd, c.bBl, c.wN, c.bN, c.wP,  c.bP};
        const MaterialEntry g = MaterialTable[materialIndex(recoloured)];
        ASSERT_EQ(g.value, e.value) << i;
        ASSERT_EQ(g.scale, e.scale) << i;
        ASSERT_EQ(g.flags, e.flags) << i;
    }
}

TEST_F(MaterialTableTest, FollowsTheParameters) {
    tuning.PawnValue = 100;
    tuning.MaterialWeight = 512;
    initMaterialTable();
    EXPECT_EQ(materialAnchors(mat("P", "")), (MaterialAnchors{80, 90, 110, 125}));
    EXPECT_EQ(entry(mat("P", "")).value, 62);
    EXPECT_EQ(entry(mat("", "P")).value, -63);
    setDefaults();
    initMaterialTable();
    EXPECT_EQ(entry(mat("P", "")).value, 112);
}
