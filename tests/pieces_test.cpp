#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "board/attackmap.h"
#include "board/makemove.h"
#include "board_fixture.h"
#include "eval/evalterms.h"
#include "eval/pieces.h"
#include "test_positions.h"

namespace {

// The pawn entry of the mirrored position: the colours change places, and so do the square
// colours (a1 is dark, its mirror a8 light).
PawnHashEntry mirrorEntry(const PawnHashEntry& e) {
    PawnHashEntry m = e;
    m.whiteShelter = e.blackShelter;
    m.blackShelter = e.whiteShelter;
    m.whitePawnsLight = e.blackPawnsDark;
    m.whitePawnsDark = e.blackPawnsLight;
    m.blackPawnsLight = e.whitePawnsDark;
    m.blackPawnsDark = e.whitePawnsLight;
    return m;
}

PawnHashEntry entryWithShelters(int white, int black) {
    PawnHashEntry e{};
    e.whiteShelter = white * 65536;
    e.blackShelter = black * 65536;
    return e;
}

Score pieces(const std::string& fen, const PawnHashEntry& entry = PawnHashEntry{}) {
    return evaluatePieces(setUp(fen), entry);
}

#define EXPECT_SCORE(actual, mg, eg)                    \
    do {                                                \
        const Score s_ = (actual);                      \
        EXPECT_EQ(mgOf(s_), (mg)) << "middlegame half"; \
        EXPECT_EQ(egOf(s_), (eg)) << "endgame half";    \
    } while (0)

// White's term helpers on a position.
Score rookFile(const std::string& fen, Square s) {
    Position& pos = setUp(fen);
    PieceWork w;
    setUpPieceWork(pos, w);
    return rookFileScore<White>(pos, w, s, rookAttacks(s, occupied(pos)));
}
Score knightOutpost(const std::string& fen, Square s) {
    Position& pos = setUp(fen);
    PieceWork w;
    setUpPieceWork(pos, w);
    return knightOutpostScore<White>(pos, w, s, KnightAttacks[s]);
}

// Positions reached by short random walks of legal moves from a set of varied positions.
std::vector<std::string> walkPositions() {
    static const char* const starts[] = {
        StartFen,
        Kiwipete,
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
        "r2q1rk1/1b1nbppp/p2ppn2/1p6/3NPP2/1BN1B3/PPPQ2PP/2KR3R w - - 0 12",
        "2r2rk1/pp1q1ppp/2n1p3/3pP3/3P1B2/P1R2N2/1P3PPP/3Q1RK1 w - - 0 18",
        "8/5pk1/6p1/8/3R4/6P1/5PK1/3r4 w - - 0 40",
        "4k3/8/8/3q4/8/8/2B1N3/4K2R w K - 0 1",
        "6k1/8/8/8/8/P7/1P6/RRK5 w - - 0 1",
        "1k1r3r/ppp2ppp/8/3N4/2P1n3/8/PP3PPP/3RR1K1 b - - 0 20",
        "r1b2rk1/ppq1bppp/4pn2/n1ppP3/3P4/P1PB1N2/2Q2PPP/R1B2RK1 b - - 0 12",
    };
    std::vector<std::string> out;
    std::mt19937 rng(20240611);
    for (const char* start : starts) {
        for (int walk = 0; walk < 4; ++walk) {
            Position& pos = setUp(start);
            out.push_back(fenOf(pos));
            playRandomMoves(pos, 24, rng, [&](Move) { out.push_back(fenOf(pos)); });
        }
    }
    return out;
}

// A deterministic, varied pawn entry for a position.
PawnHashEntry varyingEntry(size_t i) {
    PawnHashEntry e{};
    e.whiteShelter = int((i * 37) % 151) * 65536;
    e.blackShelter = int((i * 53 + 11) % 151) * 65536;
    e.whitePawnsLight = uint8_t((i * 7) % 23);
    e.whitePawnsDark = uint8_t((i * 11 + 3) % 23);
    e.blackPawnsLight = uint8_t((i * 13 + 5) % 23);
    e.blackPawnsDark = uint8_t((i * 17 + 1) % 23);
    return e;
}

}  // namespace

TEST(PieceTerms, RookFilesAndKnightOutposts) {
    // Open file: a rook or queen right behind on the file raises the bonus; the enemy
    // king on the file adds (9, 10).
    EXPECT_SCORE(rookFile("6k1/8/8/8/8/3R4/8/3Q2K1 w - - 0 1", D3), 30, 18);
    EXPECT_SCORE(rookFile("6k1/8/8/8/8/3R4/8/Q5K1 w - - 0 1", D3), 23, 15);
    EXPECT_SCORE(rookFile("6k1/8/8/8/8/3R4/3N4/3Q2K1 w - - 0 1", D3), 23, 15);
    EXPECT_SCORE(rookFile("3k4/8/8/8/8/3R4/8/6K1 w - - 0 1", D3), 32, 25);
    // Half-open: the nearest enemy pawn counts, backed by a pawn beside it and above.
    EXPECT_SCORE(rookFile("6k1/3p4/8/2p5/3p4/3R4/8/6K1 w - - 0 1", D3), 4, 0);
    EXPECT_SCORE(rookFile("6k1/8/3p4/4p3/8/3R4/8/6K1 w - - 0 1", D3), 13, 10);
    // A pawn-guarded enemy minor on the file, with and without an own pawn to chase it.
    EXPECT_SCORE(rookFile("6k1/8/4p3/3n4/2P5/3R4/8/6K1 w - - 0 1", D3), 22, 6);
    EXPECT_SCORE(rookFile("6k1/8/4p3/3n4/8/3R4/8/6K1 w - - 0 1", D3), 11, -1);

    // d5, guarded by a pawn, hitting a loose rook: (12, 2) + (9, 7) + (7, 7) + (3, 3).
    EXPECT_SCORE(knightOutpost("7k/2r5/8/3N4/4P3/8/8/6K1 w - - 0 1", D5), 31, 19);
    EXPECT_SCORE(knightOutpost("8/6k1/8/3N4/2P5/8/8/K7 w - - 0 1", D5), 31, 19);  // king zone
    EXPECT_SCORE(knightOutpost("7k/8/2r5/8/3N4/2P5/8/6K1 w - - 0 1", D4), 29, 17);
    EXPECT_SCORE(knightOutpost("7k/2r5/8/3N4/8/8/8/6K1 w - - 0 1", D5), 12, 2);
    EXPECT_SCORE(knightOutpost("7k/p7/1r6/3N4/2P5/8/8/6K1 w - - 0 1", D5), 21, 9);
    EXPECT_SCORE(knightOutpost("7k/2r1p3/8/3N4/2P5/8/8/6K1 w - - 0 1", D5), 0, 0);
}

TEST(PieceTerms, TrappedBishopsAndRooks) {
    auto bishop = [](const std::string& fen, Square s) { return bishopTrapScore<White>(setUp(fen), s); };
    EXPECT_SCORE(bishop("7k/B1p5/1p6/8/8/8/8/6K1 w - - 0 1", A7), -80, -80);
    EXPECT_SCORE(bishop("7k/B7/1p6/8/8/8/8/6K1 w - - 0 1", A7), -40, -40);
    EXPECT_SCORE(bishop("7k/B1p5/8/8/8/8/8/6K1 w - - 0 1", A7), 0, 0);
    EXPECT_SCORE(bishopTrapScore<Black>(setUp("6k1/8/8/8/8/1P6/b1P5/6K1 b - - 0 1"), A2), -80, -80);

    auto rook = [](const std::string& fen) { return mgOf(trappedRookScore<White>(setUp(fen))); };
    EXPECT_EQ(rook("6k1/8/8/8/8/8/7P/6KR w - - 0 1"), -50);
    EXPECT_EQ(rook("6k1/8/8/8/8/7P/8/6KR w - - 0 1"), -40);
    EXPECT_EQ(rook("6k1/8/8/8/8/8/6P1/5KR1 w - - 0 1"), -50);
    EXPECT_EQ(rook("6k1/8/8/8/8/8/7P/4K2R w - - 0 1"), 0);
    // Two rooks in the corner: the one nearest the corner on the back rank counts, for
    // either colour (a1 with its pawn on a3, a8 with a6, not b8 with b7).
    EXPECT_EQ(rook("6k1/8/8/8/8/P7/1P6/RRK5 w - - 0 1"), -40);
    EXPECT_EQ(mgOf(trappedRookScore<Black>(setUp("rrk5/1p6/p7/8/8/8/8/6K1 b - - 0 1"))), -40);
}

TEST(PieceTerms, KingDangerMultiplierAndClamp) {
    buildTables();
    EXPECT_EQ(kingDanger(7u << 16 | 100, 0), 100 * 49 / 8);
    for (uint32_t count = 8; count <= 40; ++count) EXPECT_EQ(kingDanger(count << 16 | 100, 0), 625) << count;
    // The weighted attack is floored to a multiple of 8 before the division.
    EXPECT_EQ(kingDanger(1u << 16 | 15, 3), 1 + 3);
    const int saved = tuning.KingSafetyWeight;
    tuning.KingSafetyWeight = 512;
    EXPECT_EQ(kingDanger(4u << 16 | 95, 10), (190 + 10) / 2);
    tuning.KingSafetyWeight = saved;
}

TEST(PieceTerms, KingDangerInPositions) {
    buildTables();
    // The danger to White's king: the piece terms lose it when the weight is zero (White
    // has nothing that endangers Black's king in these positions).
    auto danger = [](const std::string& fen, int shelter) {
        const int saved = tuning.KingSafetyWeight;
        const Score full = pieces(fen, entryWithShelters(shelter, 0));
        tuning.KingSafetyWeight = 0;
        const Score none = pieces(fen, entryWithShelters(shelter, 0));
        tuning.KingSafetyWeight = saved;
        EXPECT_EQ(egOf(full), egOf(none));
        return mgOf(none) - mgOf(full);
    };
    // Queen, rook, bishop and knight on the zone: 4 attackers, weight 95; a pawn on the
    // zone starts the count at one.
    const std::string fen = "5r1k/1b6/8/8/7n/8/q7/6K1 w - - 0 1";
    EXPECT_EQ(danger(fen, 0), 95 * 16 / 8);
    EXPECT_EQ(danger(fen, 60), 95 * 16 / 8 + 60);
    EXPECT_EQ(danger("5r1k/1b6/8/8/7n/4p3/q7/6K1 w - - 0 1", 0), 95 * 25 / 8);
    // Without a queen: scaled by the three pieces over 8, shelter included; no pieces at
    // all, no danger.
    EXPECT_EQ(danger("5r1k/1b6/8/8/7n/Q7/8/6K1 w - - 0 1", 0), 3 * (55 * 9 / 8) / 8);
    EXPECT_EQ(danger("5r1k/1b6/8/8/7n/Q7/8/6K1 w - - 0 1", 59), 3 * (55 * 9 / 8 + 59) / 8);
    EXPECT_EQ(danger("7k/pp6/8/8/8/Q7/8/6K1 w - - 0 1", 100), 0);

    // The byte for the search: danger times the phase (11) over 128, kept at most 255.
    Position& pos = setUp(fen);
    evaluatePieces(pos, entryWithShelters(60, 0));
    EXPECT_EQ(pos.state->whiteKingDanger, (250 * 11) >> 7);
    EXPECT_EQ(pos.state->blackKingDanger, 0);
    const int saved = tuning.KingSafetyWeight;
    tuning.KingSafetyWeight = 16 * 1024;
    evaluatePieces(pos, entryWithShelters(0, 0));
    EXPECT_EQ(pos.state->whiteKingDanger, 255);
    tuning.KingSafetyWeight = saved;
}

TEST(PieceTerms, WholeSmallPositions) {
    // Rook h1 (own king zone (3, 1), one mobility square g1 (2, 3)) shut in by the king
    // on g1 behind its h2 pawn (-50, 0). Black's shelter 40 against a side with one rook
    // and no queen: 40 * 1 / 8 = 5 for White.
    EXPECT_SCORE(pieces("6k1/8/8/8/8/8/7P/6KR w - - 0 1"), -45, 4);
    EXPECT_SCORE(pieces("6k1/8/8/8/8/8/7P/6KR w - - 0 1", entryWithShelters(40, 40)), -40, 4);

    // Bishop b2 behind a knight on e5 that shields h8: loose knight (5, 5), x-ray (2, 5),
    // four mobility squares (20, 20). The knight: outpost (12, 2), four mobility squares
    // (24, 32).
    Position& pos = setUp("7k/8/8/4n3/8/8/1B6/7K w - - 0 1");
    std::memset(pos.pinnerOfBlack, 0xEE, sizeof pos.pinnerOfBlack);
    EXPECT_SCORE(evaluatePieces(pos, PawnHashEntry{}), 7 - 12 - 4, 10 - 2 - 12);
    EXPECT_EQ(pos.state->whiteXrayBlockers, SquareBB[E5]);
    EXPECT_EQ(pos.state->blackXrayBlockers, 0u);
    EXPECT_EQ(pos.pinnerOfBlack[E5], B2);
    const int saved = tuning.MobilityWeight;
    tuning.MobilityWeight = 512;
    EXPECT_SCORE(evaluatePieces(pos, PawnHashEntry{}), 7 - 12 - 2, 10 - 2 - 6);
    tuning.MobilityWeight = saved;

    // Bishop a4 and knight c3 both hit the rook on b5: (7, 10) each and two Black threats
    // (15, 25); the rook's open file (23, 15); mobility (5, 5) + (18, 24) - (28, 42).
    EXPECT_SCORE(pieces("7k/8/8/1r6/B7/2N5/8/7K w - - 0 1"), 7 + 7 - 23 + 15 - 5, 10 + 10 - 15 + 25 - 13);
}

TEST(PieceTerms, WholePositionsRooksAndQueens) {
    // Queen b7 on the seventh beside the rook d7 with the king on the eighth: own king zone
    // (5, 2), (-5, 19) + (2, 13), 18 mobility squares. Rook d7: loose pawn h7 (2, 3), queen
    // on its rank (2, 2), open file (23, 15), seventh (23, 29), 13 mobility squares. Its
    // attack on the king zone gives Black a danger of 25 / 8 = 3, plus Black's shelter.
    const std::string seventh = "7k/1Q1R3p/8/8/8/8/8/6K1 w - - 0 1";
    EXPECT_SCORE(pieces(seventh), 2 + 50 + 62 + 3, 34 + 49 + 75);
    EXPECT_SCORE(pieces(seventh, entryWithShelters(0, 20)), 2 + 50 + 62 + 23, 34 + 49 + 75);

    // Rook a8 on the eighth with the king there, x-ray through the knight e8 (2, 5), loose
    // knight (4, 5), open file (23, 15), 11 mobility squares. The knight guards its king
    // (4, 2) with 4 mobility squares.
    Position& pos = setUp("R3n1k1/8/8/8/8/8/8/6K1 w - - 0 1");
    EXPECT_SCORE(evaluatePieces(pos, PawnHashEntry{}), 36 - 4 - 2, 25 - 2 + 1);
    EXPECT_EQ(pos.state->whiteXrayBlockers, SquareBB[E8]);
    EXPECT_EQ(pos.pinnerOfBlack[E8], A8);

    // Rook d5 on an outpost guarded by c4, hitting the loose knight h5 along its rank:
    // (4, 6) outpost, (4, 5) loose minor, (23, 15) open file, 14 squares; the knight (4, 2)
    // and 2 squares.
    EXPECT_SCORE(pieces("7k/8/8/3R3n/2P5/8/8/6K1 w - - 0 1"), 31 - 4 + 16, 26 - 2 + 26);
    // The same outpost with the loose knight off the rook's rank (on its file): (1, 2).
    EXPECT_SCORE(pieces("3n3k/8/8/3R4/2P5/8/8/6K1 w - - 0 1"), 28 + 4, 22 + 10);
    // Rook d6 on the sixth with a pawn on the seventh: (12, 4), open file, 13 squares.
    EXPECT_SCORE(pieces("7k/7p/3R4/8/8/8/8/6K1 w - - 0 1"), 35 + 26, 19 + 39);
}

TEST(PieceTerms, WholePositionsMinorsAndKings) {
    // Knight b2 beside its king on d1 and facing b5 three ranks ahead: (4, 2) - (3, 3),
    // one mobility square. Bishop e5 on a dark outpost guarded by d4, reaching b8 of the
    // king zone: (7, 13); loose pawn g3 (3, 4); dark pawn counts 6 + 5 / 2 = -(8, 8); the
    // unguarded dark pawn g3 below it (0, 2); 6 squares. Rook b1 behind the half-open
    // file (13, 10), own king zone (3, 1), 4 squares; beside the king on the a-file with a
    // pawn on the b-file (0, 5).
    PawnHashEntry entry{};
    entry.whitePawnsDark = 6;
    entry.blackPawnsDark = 5;
    EXPECT_SCORE(pieces("k7/8/8/1p2B3/3P4/6p1/1N6/1R1K4 w - - 0 1", entry), 1 + 2 + 16 + 44,
                 -1 + 11 + 11 + 50 + 5);

    // Queen d4 on the long diagonal, two men short of an x-ray, the knight f6 guarded by g7
    // is no loose target: own king zone (5, 2) and 23 squares (f6 is pawn-guarded). The
    // knight guards its king (4, 2), 4 squares.
    EXPECT_SCORE(pieces("7k/6p1/5n2/8/3Q4/8/8/6K1 w - - 0 1"), 5 - 4 + 22, 2 - 2 + 14);
    // A bishop in its place counts the guarded knight's square: 5 squares above d4.
    EXPECT_SCORE(pieces("7k/6p1/5n2/8/3B4/8/8/6K1 w - - 0 1"), 2 - 4 + 1, 1 - 2 - 7);

    // A loose Black pawn on g2 in the White king zone (0, 5), blocked by the king (+(3, 10)
    // to the mobility sum) and hitting the rook h1 (-(7, 10)).
    EXPECT_SCORE(pieces("6k1/8/8/8/8/8/6pP/6KR w - - 0 1"), -45 + 3 - 7, 4 + 10 - 10 + 5);
}

TEST(PieceTerms, CheckersAndBlockers) {
    // A rook checking from a distance is a checker, not a blocker line.
    Position& pos = setUp("k7/8/8/8/8/8/8/R6K b - - 0 1");
    evaluatePieces(pos, PawnHashEntry{});
    EXPECT_EQ(pos.state->whiteCheckers, SquareBB[A1]);
    EXPECT_EQ(pos.state->whiteXrayBlockers, 0u);

    // Kings side by side each count as checkers (the attack-map routine leaves kings out).
    Position& kings = setUp(KingsSideBySide);
    evaluatePieces(kings, PawnHashEntry{});
    EXPECT_EQ(kings.state->whiteCheckers, SquareBB[D4]);
    EXPECT_EQ(kings.state->blackCheckers, SquareBB[D5]);
}

// Over positions from random walks: the piece terms of a position are the negation of
// those of its colour mirror (king dangers and attack sets swapped), and the attack maps,
// checkers, blockers and pinners equal those of the search's attack-map routine.
TEST(PieceTerms, MirrorSymmetryAndAttackMaps) {
    buildTables();
    const std::vector<std::string> fens = walkPositions();
    ASSERT_GT(fens.size(), 300u);
    Position& mirror = secondPosition();
    for (size_t i = 0; i < fens.size(); ++i) {
        SCOPED_TRACE(fens[i]);
        const PawnHashEntry entry = varyingEntry(i);
        Position& pos = setUp(fens[i]);

        computeAttacks(pos);
        const StateRecord expected = *pos.state;
        uint8_t pinnerOfBlack[64], pinnerOfWhite[64];
        std::memcpy(pinnerOfBlack, pos.pinnerOfBlack, 64);
        std::memcpy(pinnerOfWhite, pos.pinnerOfWhite, 64);
        std::memset(pos.pinnerOfBlack, 0xEE, 64);
        std::memset(pos.pinnerOfWhite, 0xEE, 64);

        const Score score = evaluatePieces(pos, entry);
        const StateRecord st = *pos.state;
        auto sets = [](const StateRecord& r) {
            return std::vector<Bitboard>{r.whiteAttacks,  r.blackAttacks,      r.whiteCheckers,
                                         r.blackCheckers, r.whiteXrayBlockers, r.blackXrayBlockers};
        };
        EXPECT_EQ(sets(st), sets(expected));
        for (Bitboard b = st.whiteXrayBlockers; b; b &= b - 1)
            EXPECT_EQ(pos.pinnerOfBlack[lowestSquare(b)], pinnerOfBlack[lowestSquare(b)]);
        for (Bitboard b = st.blackXrayBlockers; b; b &= b - 1)
            EXPECT_EQ(pos.pinnerOfWhite[lowestSquare(b)], pinnerOfWhite[lowestSquare(b)]);

        positionCommand(mirror, ("fen " + fenOf(pos, true)).c_str());
        const Score mirrored = evaluatePieces(mirror, mirrorEntry(entry));
        EXPECT_EQ(mgOf(mirrored), -mgOf(score));
        EXPECT_EQ(egOf(mirrored), -egOf(score));
        EXPECT_EQ(mirror.state->whiteKingDanger, st.blackKingDanger);
        EXPECT_EQ(mirror.state->blackKingDanger, st.whiteKingDanger);
        std::vector<Bitboard> swapped = sets(st);
        for (size_t k = 0; k < swapped.size(); k += 2) std::swap(swapped[k], swapped[k + 1]);
        for (Bitboard& b : swapped) b = __builtin_bswap64(b);
        EXPECT_EQ(sets(*mirror.state), swapped);
        if (::testing::Test::HasFailure()) break;
    }
}
