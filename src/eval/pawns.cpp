// Pawn structure: the pawn evaluator behind the pawn hash, the king-shelter values it
// stores, and the passed-pawn terms that the full evaluation adds from its passed files.
#include <algorithm>
#include <cstdlib>

#include "board/bitboard.h"
#include "board/position.h"
#include "eval/evalterms.h"
#include "eval/material.h"
#include "eval/pawnmasks.h"
#include "core/params.h"

namespace {

constexpr Score S(int mg, int eg) { return makeScore(mg, eg); }

// Pawn tables by the pawn's rank index seen from its own side (0 = first rank).
constexpr Score OpenPawn[8] = {0, 0, 0, S(5, 5), S(10, 12), S(20, 25), 0, 0};
constexpr Score PassedPawn[8] = {0, 0, 0, S(10, 10), S(20, 25), S(40, 50), S(60, 75), 0};
constexpr Score ProtectedPasser[8] = {0, 0, 0, 0, S(5, 10), S(10, 15), S(15, 25), 0};
constexpr Score OutsidePasser[8] = {0, 0, 0, 0, S(2, 5), S(5, 10), S(10, 20), 0};
constexpr Score ConnectedPasser[8] = {0, 0, 0, 0, S(5, 10), S(10, 15), S(20, 30), 0};
constexpr Score EnemyKingDistance[8] = {0, 0, 0, S(0, 2), S(0, 4), S(0, 6), S(0, 10), 0};
constexpr Score OwnKingDistance[8] = {0, 0, 0, S(0, 1), S(0, 2), S(0, 3), S(0, 5), 0};

constexpr Score PawnIsland = S(6, 2);
constexpr Score SplitPair = S(4, 5);
constexpr Score DoubledBlocked = S(0, 1);
constexpr Score IsolatedDoubledBlocked = S(2, 10);
constexpr Score IsolatedBlocked = S(2, 6);
constexpr Score BackwardBlocked = S(0, 2);
constexpr Score Doubled = S(6, 4);
constexpr Score IsolatedDoubled = S(0, 3);
constexpr Score Isolated = S(14, 16);
constexpr Score Backward = S(13, 13);
constexpr Score LoosePawnNearKing = S(0, 5);
constexpr Score CastlingRight = S(5, 0);

// Draw-weight factor by a count of files: 6, 5, ... 1, then 0.
constexpr int drawFactor(int files) { return files < 6 ? 6 - files : 0; }

// Passed pawns of the full evaluation, by rank index.
constexpr Score FreeSquare[8] = {0, 0, 0, S(1, 2), S(2, 3), S(3, 5), S(5, 10), 0};
constexpr Score NoOwnManInFront[8] = {0, 0, 0, 0, 0, S(3, 5), S(5, 10), 0};
constexpr Score NoEnemyManInFront[8] = {0, 0, 0, 0, S(5, 10), S(15, 30), S(25, 50), 0};
constexpr Score PathCovered[8] = {0, 0, 0, 0, S(5, 10), S(10, 20), S(20, 40), 0};
constexpr Score QueenEndingPasser[8] = {0, 0, 0, S(5, 5), S(10, 10), S(20, 20), S(40, 40), 0};
constexpr Score RookInFrontOfPasser[8] = {0, 0, 0, 0, 0, S(25, 25), S(100, 100), 0};
constexpr Score QueenInFrontOfPasser = S(10, 10);

// King-shelter record of a king file: the three files looked at (edge-most first) and
// the penalty tables indexed by a rank index seen from the king's side (0 = no pawn).
struct ShelterRecord {
    uint8_t files[3];
    uint8_t shelter[3][8];  // own pawns
    uint8_t storm[3][8];    // enemy pawns
    uint8_t diagonal[8];    // own pawn on the shelter diagonal
};
ShelterRecord ShelterRecords[8];

constexpr int EmptyShelter = 10;  // replaces a shelter sum of exactly 0

// Relative rank index of the man of b nearest to side Us's first rank.
template <Side Us>
inline int nearestRank(Bitboard b) {
    return Us == White ? rankOf(lowestSquare(b)) : 7 - rankOf(63 - std::countl_zero(b));
}

// Distance of a king to a pawn's square t for the king-proximity terms: three per rank,
// doubled unless the king stands ahead of t, against six per file.
template <Side Us>
inline int kingProximity(Square king, Square t) {
    int rankPart = 3 * std::abs(rankOf(king) - rankOf(t));
    if (relativeRank<Us>(king) <= relativeRank<Us>(t)) rankPart *= 2;
    return std::max(rankPart, 6 * std::abs(fileOf(king) - fileOf(t)));
}

// The terms of side Us's pawns, from Us's point of view. Fills Us's colour counts and
// passed files and lowers the two kings' nearest-pawn distances (indexed by side).
template <Side Us>
Score pawnSideTerms(const Position& pos, PawnHashEntry& entry, int (&nearest)[2]) {
    constexpr Side Them = opposite(Us);
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), TheirPawn = pieceFor(Them, Pawn);

    const Bitboard ours = pos.pieces[OurPawn], theirs = pos.pieces[TheirPawn];
    const Bitboard allPawns = ours | theirs;
    const Square ourKing = kingSquare(pos, Us), theirKing = kingSquare(pos, Them);
    Score score = 0;
    unsigned light = 0, dark = 0, passedFiles = 0;
    Bitboard passersFound = 0;

    // Own first rank first, each rank from the a-file to the h-file.
    for (Bitboard b = relativeBoard<Us>(ours); b; b &= b - 1) {
        const Square t = relativeSquare<Us>(lowestSquare(b));
        const Bitboard tb = SquareBB[t];
        const int f = fileOf(t), r = relativeRank<Us>(t);

        nearest[Us] = std::min(nearest[Us], kingProximity<Us>(ourKing, t));
        nearest[Them] = std::min(nearest[Them], kingProximity<Us>(theirKing, t));

        const unsigned weight = ColourWeight[t] << ((shiftAhead<Us>(tb) & theirs) ? 1 : 0);
        if (tb & DarkSquares)
            dark += weight;
        else
            light += weight;

        if (f >= 2 && (ours & SquareBB[t - 2]) && !(ours & FileMask[f - 1] & RanksAtOrAhead[Us][r]))
            score -= SplitPair;

        const bool doubled = ours & FileMask[f] & ~tb;
        const bool isolated = !(ours & AdjacentFiles[f]);
        const bool supported = ours & SupporterMask[Us][t];

        // The square whose control decides whether the pawn is backward: the first square
        // ahead from which an own pawn stands diagonally in front, at most three ahead.
        const auto backward = [&] {
            const Bitboard one = shiftAhead<Us>(tb), two = shiftAhead<Us>(one);
            const Bitboard target = (PawnAttacks[Us][t] & ours)       ? one
                                    : (pawnAttackSet<Us>(one) & ours) ? two
                                                                      : shiftAhead<Us>(two);
            return (pawnAttackSet<Us>(target) & theirs) != 0;
        };

        if (FrontSpan[Us][t] & allPawns) {
            if (doubled) score -= DoubledBlocked;
            if (isolated) {
                if (doubled) score -= IsolatedDoubledBlocked;
                score -= IsolatedBlocked;
            } else if (!supported && backward()) {
                score -= BackwardBlocked;
            }
            continue;
        }

        if (doubled) score -= Doubled;
        if (isolated) {
            if (doubled) score -= IsolatedDoubled;
            score -= Isolated;
        } else if (!supported && backward()) {
            score -= Backward;
        }

        // Passed, or a candidate whose only opponents attack it and are outnumbered by
        // its defenders.
        const Bitboard opponents = theirs & PassedPawnSpan[Us][t];
        const Bitboard defenders = ours & PawnAttacks[Them][t];
        const bool passed =
            !opponents || (!(opponents & ~PawnAttacks[Us][t]) && popCount(opponents) <= popCount(defenders));
        if (!passed) {
            score += OpenPawn[r];
            continue;
        }

        Score bonus = PassedPawn[r];
        if (defenders) bonus += ProtectedPasser[r];
        if (!(theirs & FilesLeftOf[f]) || !(theirs & FilesRightOf[f])) bonus += OutsidePasser[r];
        for (Bitboard c = passersFound & ConnectedMask[Us][t]; c; c &= c - 1)
            bonus += ConnectedPasser[r] + ConnectedPasser[relativeRank<Us>(lowestSquare(c))];
        passersFound |= tb;
        passedFiles |= 1u << f;
        score += bonus;
        if (r >= 3) {
            const Square q = t + (Us == White ? 8 : -8);
            score += EnemyKingDistance[r] * kingProximity<Us>(theirKing, q) -
                     OwnKingDistance[r] * kingProximity<Us>(ourKing, q);
        }
    }

    if constexpr (Us == White) {
        entry.whitePawnsLight = uint8_t(light);
        entry.whitePawnsDark = uint8_t(dark);
        entry.whitePassedFiles = uint8_t(passedFiles);
    } else {
        entry.blackPawnsLight = uint8_t(light);
        entry.blackPawnsDark = uint8_t(dark);
        entry.blackPassedFiles = uint8_t(passedFiles);
    }
    return score;
}

// Shelter of side Us's king with its castling options: the worse of its present square
// and the castled squares it may still reach counts as the best it can do.
template <Side Us>
int shelterWithCastling(const Position& pos, uint8_t castling) {
    constexpr uint8_t ShortRight = Us == White ? 1 : 4, LongRight = Us == White ? 2 : 8;
    constexpr Square ShortSquare = Us == White ? G1 : G8, LongSquare = Us == White ? C1 : C8;
    int shelter = kingShelter<Us>(pos, kingSquare(pos, Us));
    if (castling & ShortRight) shelter = std::min(shelter, kingShelter<Us>(pos, ShortSquare) + 5);
    if (castling & LongRight) shelter = std::min(shelter, kingShelter<Us>(pos, LongSquare) + 5);
    return shelter;
}

// Scales both halves by a weight of 1024 = 1.0, rounding toward zero so that both colours
// are scaled alike.
inline Score weighted(Score s, int weight) {
    return makeScore(mgOf(s) * weight / 1024, egOf(s) * weight / 1024);
}

}  // namespace

void initKingShelter() {
    // Files looked at by king file: edge-most first, then the middle, then the third.
    constexpr uint8_t Files[8][3] = {{0, 1, 2}, {0, 1, 2}, {1, 2, 3}, {2, 3, 4},
                                     {5, 4, 3}, {6, 5, 4}, {7, 6, 5}, {7, 6, 5}};
    constexpr uint8_t Shelter[3][8] = {
        {30, 0, 5, 15, 20, 25, 25, 25}, {55, 0, 15, 40, 50, 55, 55, 55}, {30, 0, 10, 20, 25, 30, 30, 30}};
    constexpr uint8_t Storm[3][8] = {
        {5, 0, 35, 15, 5, 0, 0, 0}, {10, 0, 50, 20, 10, 0, 0, 0}, {10, 0, 50, 20, 10, 0, 0, 0}};
    // Diagonal tables for the king on the a/h, b/g, c/f and d/e files.
    constexpr uint8_t Diagonal[4][8] = {{10, 0, 2, 4, 6, 8, 10, 10},
                                        {8, 0, 2, 4, 6, 7, 8, 8},
                                        {6, 0, 2, 3, 4, 5, 6, 6},
                                        {4, 0, 1, 2, 3, 4, 4, 4}};
    for (int f = 0; f < 8; ++f) {
        ShelterRecord& rec = ShelterRecords[f];
        for (int i = 0; i < 3; ++i) {
            rec.files[i] = Files[f][i];
            std::copy(Shelter[i], Shelter[i] + 8, rec.shelter[i]);
            std::copy(Storm[i], Storm[i] + 8, rec.storm[i]);
        }
        const int edge = std::min(f, 7 - f);
        std::copy(Diagonal[edge], Diagonal[edge] + 8, rec.diagonal);
    }
}

template <Side Us>
int kingShelter(const Position& pos, Square k) {
    constexpr Side Them = opposite(Us);
    const ShelterRecord& rec = ShelterRecords[fileOf(k)];
    const Bitboard own = pos.pieces[pieceFor(Us, Pawn)] & RanksAtOrAhead[Us][relativeRank<Us>(k)];
    const Bitboard enemy = pos.pieces[pieceFor(Them, Pawn)];

    int ownRank[3];
    int shelter = 0;
    for (int i = 0; i < 3; ++i) {
        const Bitboard onFile = own & FileMask[rec.files[i]];
        ownRank[i] = onFile ? nearestRank<Us>(onFile) : 0;
        shelter += rec.shelter[i][ownRank[i]];
    }
    if (shelter == 0) shelter = EmptyShelter;

    const Bitboard diagonal = own & ShelterDiagonal[Us][k];
    shelter += rec.diagonal[diagonal ? nearestRank<Us>(diagonal) : 0];

    for (int i = 0; i < 3; ++i) {
        const Bitboard onFile = enemy & FileMask[rec.files[i]];
        const int stormRank = onFile ? nearestRank<Us>(onFile) : 0;
        int storm = rec.storm[i][stormRank];
        if (stormRank == ownRank[i] + 1) storm >>= 1;  // stopped right in front of our pawn
        shelter += storm;
    }
    return shelter;
}

template int kingShelter<White>(const Position&, Square);
template int kingShelter<Black>(const Position&, Square);

void evaluatePawns(Position& pos, PawnHashEntry& entry) {
    const StateRecord& st = *pos.state;
    entry = PawnHashEntry{};
    entry.lock = st.pawnKey;

    const Bitboard whitePawns = pos.pieces[WhitePawn], blackPawns = pos.pieces[BlackPawn];
    const unsigned whiteFiles = fileSet(whitePawns), blackFiles = fileSet(blackPawns);

    Score score = 0;
    score -= PawnIsland * std::popcount(whiteFiles & ~(whiteFiles << 1));
    score += PawnIsland * std::popcount(blackFiles & ~(blackFiles << 1));

    int nearest[2] = {30000, 30000};  // by side: the king's distance to the nearest pawn
    score += pawnSideTerms<White>(pos, entry, nearest);
    score -= pawnSideTerms<Black>(pos, entry, nearest);

    entry.whitePawnFiles = uint8_t(std::popcount(whiteFiles));
    entry.blackPawnFiles = uint8_t(std::popcount(blackFiles));
    entry.openFiles = uint8_t(8 - std::popcount(whiteFiles | blackFiles));
    entry.whiteDrawWeight =
        uint8_t(drawFactor(std::popcount(whiteFiles & ~blackFiles)) * drawFactor(entry.whitePawnFiles));
    entry.blackDrawWeight =
        uint8_t(drawFactor(std::popcount(blackFiles & ~whiteFiles)) * drawFactor(entry.blackPawnFiles));

    if (whitePawns | blackPawns) score += makeScore(0, nearest[Black] - nearest[White]);

    // An enemy pawn beside the king that no pawn of its own side protects.
    if (KingAttacks[pos.whiteKingSquare] & blackPawns & ~pawnAttackSet<Black>(blackPawns))
        score += LoosePawnNearKing;
    if (KingAttacks[pos.blackKingSquare] & whitePawns & ~pawnAttackSet<White>(whitePawns))
        score -= LoosePawnNearKing;

    const uint8_t castling = st.castling;
    score += CastlingRight * (((castling & 1) != 0) + ((castling & 2) != 0));
    score -= CastlingRight * (((castling & 4) != 0) + ((castling & 8) != 0));

    entry.pawnScore = weighted(score, tuning.PawnStructureWeight);
    entry.whiteShelter = shelterWithCastling<White>(pos, castling) * 65536;
    entry.blackShelter = shelterWithCastling<Black>(pos, castling) * 65536;

    storePawnEntry(entry, st.pawnKey);
}

namespace {

// The passed-pawn terms of side Us that depend on the pieces, from Us's point of view.
template <Side Us>
Score passedPawnTerms(const Position& pos, unsigned passedFiles) {
    constexpr Side Them = opposite(Us);
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurRook = pieceFor(Us, Rook),
                      OurQueen = pieceFor(Us, Queen), TheirRook = pieceFor(Them, Rook);
    const StateRecord& st = *pos.state;
    const Bitboard ourAttacks = Us == White ? st.whiteAttacks : st.blackAttacks;
    const Bitboard theirAttacks = Us == White ? st.blackAttacks : st.whiteAttacks;
    const Bitboard ourMen = pos.pieces[menOf(Us)], theirMen = pos.pieces[menOf(Them)];
    const Square ourKing = kingSquare(pos, Us);
    const int ending = st.materialFlags & EndingKindMask;

    Score score = 0;
    for (; passedFiles; passedFiles &= passedFiles - 1) {
        const Bitboard onFile = pos.pieces[OurPawn] & FileMask[std::countr_zero(passedFiles)];
        if (!onFile) continue;
        // The most advanced pawn of the file.
        const Square s = Us == White ? 63 - std::countl_zero(onFile) : lowestSquare(onFile);
        const int r = relativeRank<Us>(s);
        if (r <= 2) continue;
        const Bitboard front = FrontSpan[Us][s];

        if (ending == RookEnding) {
            if (pos.pieces[OurRook] & front) score -= RookInFrontOfPasser[r];
            // Own king in front on the edge file, cut off by an enemy rook on the next file.
            if ((front & SquareBB[ourKing]) && (fileOf(ourKing) == 0 || fileOf(ourKing) == 7) &&
                (pos.pieces[TheirRook] & FileMask[fileOf(ourKing) == 0 ? 1 : 6]))
                score -= makeScore(0, 1 << (r - 1));
        }
        if (!(shiftAhead<Us>(SquareBB[s]) & pos.pieces[AllMen])) score += FreeSquare[r];
        if (!(front & ourMen)) score += NoOwnManInFront[r];
        if (!(front & theirMen)) score += NoEnemyManInFront[r];
        if (!(front & theirAttacks & ~ourAttacks)) score += PathCovered[r];
        if (ending == QueenEnding) {
            if (r == 6 && (pos.pieces[OurQueen] & front)) score -= QueenInFrontOfPasser;
            score += QueenEndingPasser[r];
        }
    }
    return score;
}

}  // namespace

Score evaluatePassedPawns(const Position& pos, const PawnHashEntry& entry) {
    return passedPawnTerms<White>(pos, entry.whitePassedFiles) -
           passedPawnTerms<Black>(pos, entry.blackPassedFiles);
}
