// The evaluation driver: material, the evaluation and pawn hashes, the pawn-ending
// evaluator, the lazy exit, the blend of the terms, drawish scaling, special endings,
// the store of the result and the learned positional gains.
//
// Every value is White's until it is stored; the stored evalScore is the side to move's.
// Wherever a signed value is scaled or halved, the rounding is toward zero so that a
// position and its colour mirror get exactly opposite values.
#include "eval/evaluate.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/position.h"
#include "board/pst.h"
#include "core/params.h"
#include "eval/evalterms.h"
#include "eval/kpk.h"
#include "eval/material.h"
#include "eval/pawnmasks.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/sizing.h"
#include "movegen/gaintable.h"

namespace {

constexpr int PhaseMask = 0xFF;

// Middlegame and endgame halves blended by phase (32 = full middlegame).
inline int blend(Score s, int phase) {
    const int p = std::min(phase, 32);
    return ((32 - p) * egOf(s) + p * mgOf(s)) / 32;
}

inline int weighted(int value, int weight) { return value * weight / 1024; }

inline int distance(Square a, Square b) {
    return std::max(std::abs(fileOf(a) - fileOf(b)), std::abs(rankOf(a) - rankOf(b)));
}

inline bool atMostOne(Bitboard b) { return (b & (b - 1)) == 0; }

// Whether every count fits the material table: per side at most one queen, two rooks,
// one bishop of each square colour, two knights and eight pawns.
bool countsInTable(const Position& pos) {
    for (const Side side : {White, Black}) {
        if (!atMostOne(pos.pieces[pieceFor(side, Queen)]) ||
            !atMostOne(pos.pieces[pieceFor(side, LightBishop)]) ||
            !atMostOne(pos.pieces[pieceFor(side, DarkBishop)]) ||
            popCount(pos.pieces[pieceFor(side, Rook)]) > 2 ||
            popCount(pos.pieces[pieceFor(side, Knight)]) > 2 ||
            popCount(pos.pieces[pieceFor(side, Pawn)]) > 8)
            return false;
    }
    return true;
}

// Material the table cannot describe: plain piece values, the bishop pair, and beyond two
// thousand points each further point counts half.
MaterialValue irregularMaterial(const Position& pos) {
    const auto count = [&](uint8_t kind) {
        return popCount(pos.pieces[kind]) - popCount(pos.pieces[kind + 8]);
    };
    const Bitboard whiteBishops = pos.pieces[WhiteLightBishop] | pos.pieces[WhiteDarkBishop];
    const Bitboard blackBishops = pos.pieces[BlackLightBishop] | pos.pieces[BlackDarkBishop];
    int value = count(Queen) * tuning.QueenValue + count(Rook) * tuning.RookValue +
                (popCount(whiteBishops) - popCount(blackBishops)) * tuning.BishopValue +
                count(Knight) * tuning.KnightValue + count(Pawn) * tuning.PawnValue;
    if (pos.pieces[WhiteLightBishop] && pos.pieces[WhiteDarkBishop]) value += tuning.BishopPairValue;
    if (pos.pieces[BlackLightBishop] && pos.pieces[BlackDarkBishop]) value -= tuning.BishopPairValue;
    value = weighted(value, tuning.MaterialWeight);
    if (value > 2000) value -= (value - 2000) / 2;
    if (value < -2000) value -= (value + 2000) / 2;

    uint8_t flags = 0;
    const Bitboard whiteOthers = pos.pieces[WhiteQueen] | pos.pieces[WhiteRook] | pos.pieces[WhiteKnight];
    const Bitboard blackOthers = pos.pieces[BlackQueen] | pos.pieces[BlackRook] | pos.pieces[BlackKnight];
    if (whiteOthers | whiteBishops) flags |= WhiteHasPiecesFlag;
    if (blackOthers | blackBishops) flags |= BlackHasPiecesFlag;
    // Besides king and pawns only bishops of one square colour (or none).
    if (!whiteOthers && (!pos.pieces[WhiteLightBishop] || !pos.pieces[WhiteDarkBishop]))
        flags |= WhiteSingleMinorFlag;
    if (!blackOthers && (!pos.pieces[BlackLightBishop] || !pos.pieces[BlackDarkBishop]))
        flags |= BlackSingleMinorFlag;
    return {value, 128, flags};
}

// The previous record of the line, or null at the bottom of the state stack.
inline const StateRecord* parentRecord(const Position& pos) {
    return pos.state > pos.stateBase ? pos.state - 1 : nullptr;
}

// Learns how much a quiet move changed the positional score for the side that made it:
// a slowly decaying maximum per piece and move.
template <Side Us>
void recordGain(Position& pos, Move move) {
    if (!move) return;
    const StateRecord* const parent = parentRecord(pos);
    const StateRecord& st = *pos.state;
    if (!parent || parent->lazyCount || st.capturedPiece || moveType(move) == MoveEnPassant) return;
    int gain = parent->positionalScore - st.positionalScore;
    if (Us == Black) gain = -gain;
    gain = std::clamp(gain, -32767, 32767);
    Relaxed<int16_t>& slot = PositionalGainTable[pos.board[moveTo(move)]][move & 0xFFF];
    const int old = slot;
    slot = int16_t(gain >= old ? gain : old - 1);
}

// ---------------------------------------------------------------------------------------
// Pawn endings

// The relative rank of side P's most advanced passer that the defending king cannot stop
// (0 if none): escorted by its own king on the seventh or eighth rank, or outside the
// square of the defending king with its path free of its own men.
template <Side P>
int unstoppablePasser(const Position& pos, unsigned passedFiles, bool defenderToMove) {
    constexpr Side D = opposite(P);
    constexpr int PromotionRank = P == White ? 7 : 0;
    const Bitboard pawns = pos.pieces[pieceFor(P, Pawn)];
    const Square king = kingSquare(pos, P), defender = kingSquare(pos, D);
    const int kingRank = relativeRank<P>(king);
    int best = 0;
    for (; passedFiles; passedFiles &= passedFiles - 1) {
        const int f = std::countr_zero(passedFiles);
        const Bitboard onFile = pawns & FileMask[f];
        if (!onFile) continue;
        const Square s = P == White ? 63 - std::countl_zero(onFile) : lowestSquare(onFile);
        const int r = relativeRank<P>(s);
        if (r <= best) continue;

        const int fileGap = std::abs(fileOf(king) - f);
        const bool kingBeside = (f == 0 || f == 7) ? fileGap == 1 : fileGap <= 1;
        bool unstoppable = kingBeside && ((kingRank == 6 && r >= 4) || (kingRank == 7 && r >= 5));
        if (!unstoppable && !(FrontSpan[P][s] & pos.pieces[menOf(P)])) {
            const int moves = 7 - r - (r == 1 ? 1 : 0);
            unstoppable = distance(defender, makeSquare(f, PromotionRank)) > moves + (defenderToMove ? 1 : 0);
        }
        if (unstoppable) best = r;
    }
    return best;
}

template <Side Us>
inline unsigned passedFilesOf(const PawnHashEntry& entry) {
    return Us == White ? entry.whitePassedFiles : entry.blackPassedFiles;
}

// Drawn corners for the stronger side B: all its pawns on a rook's file with the defending
// king at the promotion corner, or on the b- or g-file with the front pawn blocked on the
// sixth rank and the defending king at the corner next to it.
template <Side B>
bool cornerDraw(const Position& pos) {
    constexpr Side D = opposite(B);
    constexpr Square CornerA = B == White ? A8 : A1, CornerH = B == White ? H8 : H1;
    constexpr Square BlockedB = B == White ? B6 : B3, StopperB = B == White ? B7 : B2;
    constexpr Square BlockedG = B == White ? G6 : G3, StopperG = B == White ? G7 : G2;
    const Bitboard pawns = pos.pieces[pieceFor(B, Pawn)], stoppers = pos.pieces[pieceFor(D, Pawn)];
    const Square defender = kingSquare(pos, D);
    const auto holds = [&](Square corner) {
        return defender == corner || (KingAttacks[defender] & SquareBB[corner]);
    };
    if (!(pawns & ~FileMask[7]) && holds(CornerH)) return true;
    if (!(pawns & ~FileMask[0]) && holds(CornerA)) return true;
    if (!(pawns & ~FileMask[1]) && (pawns & SquareBB[BlockedB]) && (stoppers & SquareBB[StopperB]) &&
        holds(CornerA))
        return true;
    return !(pawns & ~FileMask[6]) && (pawns & SquareBB[BlockedG]) && (stoppers & SquareBB[StopperG]) &&
           holds(CornerH);
}

// King and a single pawn against king, from the table; Us is to move.
template <Side Us>
int singlePawnValue(const Position& pos) {
    const Bitboard whitePawn = pos.pieces[WhitePawn];
    const Square pawn = lowestSquare(whitePawn | pos.pieces[BlackPawn]);
    const Square wk = pos.whiteKingSquare, bk = pos.blackKingSquare;
    const bool won =
        whitePawn ? kpkWin(wk, bk, pawn, Us == White) : kpkWin(bk ^ 56, wk ^ 56, pawn ^ 56, Us == Black);
    if (!won) return 0;
    const int rank = whitePawn ? rankOf(pawn) : 7 - rankOf(pawn);
    const int value = tuning.KpkWinBase + tuning.KpkWinPerRank * rank;
    const bool ours = (whitePawn != 0) == (Us == White);
    const int psq = egOf(pos.state->psqScore);
    return (ours ? value : -value) + (Us == White ? psq : -psq);
}

// Side Us (to move) has no pawn move, is not in check and its king has no free square.
template <Side Us>
bool stalemated(const Position& pos) {
    constexpr Side Them = opposite(Us);
    const StateRecord& st = *pos.state;
    const Bitboard ours = pos.pieces[pieceFor(Us, Pawn)];
    if (shiftAhead<Us>(ours) & ~pos.pieces[AllMen]) return false;
    const Bitboard targets = pos.pieces[pieceFor(Them, Pawn)] | (st.epSquare ? SquareBB[st.epSquare] : 0);
    if (pawnAttackSet<Us>(ours) & targets) return false;
    const Bitboard theirAttacks = Us == White ? st.blackAttacks : st.whiteAttacks;
    const Square king = kingSquare(pos, Us);
    return !(theirAttacks & SquareBB[king]) && !(KingAttacks[king] & ~theirAttacks);
}

// Only kings and pawns: the scaled material and endgame terms, races of unstoppable
// passers, drawn corners, the single-pawn table and the stalemate guard. Returns the
// value from the side to move's point of view and fills the attack maps and checkers.
template <Side Us>
int pawnEnding(Position& pos, int material, int scale, PawnHashEntry& entry) {
    constexpr Side Them = opposite(Us);
    StateRecord& st = *pos.state;
    if (entry.lock != st.pawnKey) evaluatePawns(pos, entry);
    st.whiteXrayBlockers = st.blackXrayBlockers = 0;

    const int ours = unstoppablePasser<Us>(pos, passedFilesOf<Us>(entry), false);
    const int theirs = unstoppablePasser<Them>(pos, passedFilesOf<Them>(entry), true);
    const Bitboard ourPawns = pos.pieces[pieceFor(Us, Pawn)], theirPawns = pos.pieces[pieceFor(Them, Pawn)];

    const int sum = scale * (material + egOf(st.psqScore + entry.pawnScore));
    int score = (Us == White ? sum : -sum) >> 7;
    if (ours + 1 < theirs && !(ourPawns & RanksAtOrAhead[Us][theirs - 1]))
        score -= tuning.RunawayPawnPerRank * theirs + tuning.RunawayPawnBase;
    else if (theirs < ours && !(theirPawns & RanksAtOrAhead[Them][ours]))
        score += tuning.RunawayPawnPerRank * ours + tuning.RunawayPawnBase;

    const Bitboard whitePawns = pos.pieces[WhitePawn], blackPawns = pos.pieces[BlackPawn];
    const Square wk = pos.whiteKingSquare, bk = pos.blackKingSquare;
    st.whiteAttacks = pawnAttackSet<White>(whitePawns) | KingAttacks[wk];
    st.blackAttacks = pawnAttackSet<Black>(blackPawns) | KingAttacks[bk];
    st.whiteCheckers = whitePawns & PawnAttacks[Black][bk];
    st.blackCheckers = blackPawns & PawnAttacks[White][wk];
    if (KingAttacks[wk] & SquareBB[bk]) {
        st.whiteCheckers |= SquareBB[wk];
        st.blackCheckers |= SquareBB[bk];
    }
    st.whiteKingDanger = st.blackKingDanger = 0;

    if (score == 0) return 0;
    const bool weAreBetter = score > 0;
    if (!(weAreBetter ? ourPawns : theirPawns)) return 0;
    if (weAreBetter ? cornerDraw<Us>(pos) : cornerDraw<Them>(pos)) score = 0;
    if ((st.materialFlags & EndingKindMask) == SinglePawnEnding) score = singlePawnValue<Us>(pos);
    if (score < 0 && stalemated<Us>(pos)) score = 0;
    return score;
}

// ---------------------------------------------------------------------------------------
// Special endings of the full evaluation

// King, pawns and bishops of the wrong colour for a rook's pawn: all of side Us's pawns
// on the rook's file whose promotion corner the bishop cannot control, and the defending
// king at that corner.
template <Side Us>
bool wrongBishopDraw(const Position& pos) {
    constexpr Side Them = opposite(Us);
    constexpr uint8_t WrongForH = Us == White ? WhiteLightBishop : BlackDarkBishop;
    constexpr uint8_t WrongForA = Us == White ? WhiteDarkBishop : BlackLightBishop;
    constexpr Square CornerH = Us == White ? H8 : H1, CornerA = Us == White ? A8 : A1;
    const Bitboard pawns = pos.pieces[pieceFor(Us, Pawn)];
    const Square defender = kingSquare(pos, Them);
    const auto holds = [&](Square corner) {
        return defender == corner || (KingAttacks[defender] & SquareBB[corner]);
    };
    if (pos.pieces[WrongForH] && !(pawns & ~FileMask[7]) && holds(CornerH)) return true;
    return pos.pieces[WrongForA] && !(pawns & ~FileMask[0]) && holds(CornerA);
}

// Shrinks the advantage of side Us (v, White's view, has Us's sign): a quarter off with
// pawns on at most one file, and without pawns half of what exceeds the material.
template <Side Us>
int shrinkAdvantage(int v, int material, const Position& pos, const PawnHashEntry& entry) {
    constexpr int Sign = Us == White ? 1 : -1;
    const int pawnFiles = Us == White ? entry.whitePawnFiles : entry.blackPawnFiles;
    int x = Sign * v;
    const int m = Sign * material;
    if (pawnFiles <= 1) x -= x / 4;
    if (x > 0 && !pos.pieces[pieceFor(Us, Pawn)] && x > m) x -= (x - m) / 2;
    return Sign * x;
}

int specialEndings(const Position& pos, int v, int material, uint8_t flags, const PawnHashEntry& entry) {
    if (v > 0) {
        if ((flags & WhiteSingleMinorFlag) && wrongBishopDraw<White>(pos)) return 1;
        v = shrinkAdvantage<White>(v, material, pos, entry);
        // Halving toward a material deficit may cross zero: then the other side's rules apply.
        if (v < 0) v = shrinkAdvantage<Black>(v, material, pos, entry);
    } else {
        if ((flags & BlackSingleMinorFlag) && wrongBishopDraw<Black>(pos)) return 1;
        if (v < 0) {
            v = shrinkAdvantage<Black>(v, material, pos, entry);
            if (v > 0) v = shrinkAdvantage<White>(v, material, pos, entry);
        }
    }
    return v == 0 ? 1 : v;
}

// ---------------------------------------------------------------------------------------
// The driver, for side Us to move; Probe is false only for the "eval" command.

template <Side Us, bool Probe>
void evaluateSide(Position& pos, int low, int high, Move move) {
    StateRecord& st = *pos.state;

    const MaterialValue material = positionMaterial(pos);
    const int m = material.value;
    st.materialFlags = material.flags;
    st.evalHashClass = 0;

    if constexpr (Probe) {
        int stored;
        if (probeEvalHash(st.key, stored)) {
            computeAttacks(pos);
            st.whiteKingDanger = st.blackKingDanger = 0;
            st.lazyCount = 0;
            st.evalScore = stored;
            st.positionalScore = (Us == White ? stored : -stored) - m;
            recordGain<Us>(pos, move);
            const int size = std::abs(stored);
            if (stored == 0 || size > tuning.DecisiveEvalThreshold)
                st.evalHashClass = 3;
            else if (size > tuning.HighEvalThreshold)
                st.evalHashClass = 1;
            return;
        }
    }

    PawnHashEntry entry;
    readPawnEntry(st.pawnKey, entry);
    const int phase = int(st.materialInfo & PhaseMask);

    if (phase == 0) {
        int score = pawnEnding<Us>(pos, m, material.scale, entry);
        if (score == 0) score = 1;
        st.lazyCount = 1;
        st.positionalScore = 0;
        st.evalScore = score;
        storeEvalHash(st.key, score);
        return;
    }

    // Lazy exit: the parent's positional score moved by the piece-square change of the move.
    const uint8_t flags = material.flags;
    if ((flags & (WhiteSingleMinorFlag | BlackSingleMinorFlag)) && entry.lock != st.pawnKey)
        evaluatePawns(pos, entry);
    const StateRecord* const parent = parentRecord(pos);
    if (parent && (!(flags & WhiteSingleMinorFlag) || entry.whitePawnFiles > 1) &&
        (!(flags & BlackSingleMinorFlag) || entry.blackPawnFiles > 1) && !(flags & BishopKnightMateFlag)) {
        Score change = 0;
        if (move) {
            const Square from = moveFrom(move), to = moveTo(move);
            const uint8_t piece = pos.board[to];
            change = PST[piece][to] - PST[piece][from];
            if (st.capturedPiece)
                change -= PST[st.capturedPiece][to];
            else if (moveType(move) == MoveEnPassant)
                change -= PST[pieceFor(Us, Pawn)][to + (Us == White ? 8 : -8)];
        }
        const int estimate = parent->positionalScore + blend(change, phase);
        const int64_t margin = 16 * parent->lazyCount;
        const int64_t x = int64_t(estimate) + m;
        // low and high are the mover's (Them's) bounds.
        const bool outside = Us == White ? x < -int64_t(high) - margin || x > -int64_t(low) + margin
                                         : x < int64_t(low) - margin || x > int64_t(high) + margin;
        if (outside) {
            st.evalScore = int(Us == White ? x : -x);
            st.lazyCount = uint8_t(std::min(parent->lazyCount + 1, 255));
            st.positionalScore = estimate;
            computeAttacks(pos);
            st.whiteKingDanger = st.blackKingDanger = 0;
            return;
        }
    }

    // Full evaluation.
    if (entry.lock != st.pawnKey) evaluatePawns(pos, entry);
    Score sum = makeScore(weighted(mgOf(st.psqScore), tuning.PieceSquareWeight),
                          weighted(egOf(st.psqScore), tuning.PieceSquareWeight)) +
                entry.pawnScore;
    st.whiteXrayBlockers = st.blackXrayBlockers = 0;
    sum += evaluatePieces(pos, entry);
    sum += evaluatePassedPawns(pos, entry);

    int v = (blend(sum, phase) + m) * material.scale / 128;

    // Few pawn files make an advantage drawish.
    if (v > 0)
        v -= std::min(v, 100) * entry.whiteDrawWeight >> 6;
    else
        v += std::min(-v, 100) * entry.blackDrawWeight >> 6;

    v = specialEndings(pos, v, m, flags, entry);

    st.evalScore = Us == White ? v : -v;
    st.positionalScore = v - m;
    st.lazyCount = 0;
    storeEvalHash(st.key, st.evalScore);
    recordGain<Us>(pos, move);
}

}  // namespace

MaterialValue positionMaterial(Position& pos) {
    StateRecord& st = *pos.state;
    if (st.materialInfo & IrregularMaterial) {
        if (!countsInTable(pos)) return irregularMaterial(pos);
        st.materialInfo &= ~IrregularMaterial;
    }
    const uint32_t index = (st.materialInfo >> 8) & 0x7FFFF;
    if (index >= uint32_t(MaterialTableSize)) return irregularMaterial(pos);
    const MaterialEntry& entry = MaterialTable[index];
    return {entry.value, entry.scale, entry.flags};
}

void evaluate(Position& pos, int low, int high, Move move) {
    move = Move(move & MoveMask);
    if (pos.sideToMove == White)
        evaluateSide<White, true>(pos, low, high, move);
    else
        evaluateSide<Black, true>(pos, low, high, move);
}

int evaluateFully(Position& root) {
    hashTablesFresh = false;  // the evaluation fills the pawn and evaluation tables
    if (root.sideToMove == White)
        evaluateSide<White, false>(root, EvalFullLow, EvalFullHigh, NoMove);
    else
        evaluateSide<Black, false>(root, EvalFullLow, EvalFullHigh, NoMove);
    return root.state->evalScore;
}
