#include "movegen/generate.h"

#include "board/bitboard.h"
#include "movegen/gaintable.h"
#include "movegen/history.h"
#include "movegen/see.h"

uint32_t CaptureOrder[16][16];

void initCaptureOrder() {
    // By White piece code: rank as victim, rank as attacker, and worth class (the two
    // bishops count alike; knight and bishop share a class).
    static const int VictimRank[8] = {0, 1, 2, 0, 3, 3, 4, 5};
    static const int AttackerRank[8] = {0, 0, 1, 5, 2, 2, 3, 4};
    static const int WorthClass[8] = {0, 0, 1, 4, 1, 1, 2, 3};
    // Column 0: a move onto an empty square (non-capturing evasions).
    static const uint32_t NoVictim[8] = {0,          0x06008000, 0x05008000, 0x07000000,
                                         0x04008000, 0x04008000, 0x03008000, 0x02008000};
    for (auto& row : CaptureOrder)
        for (uint32_t& v : row) v = 0;
    for (int mover = 1; mover < 16; ++mover) {
        const uint8_t moverKind = kindOf(uint8_t(mover));
        if (moverKind == 0) continue;
        CaptureOrder[mover][0] = NoVictim[moverKind];
        for (int victim = 1; victim < 16; ++victim) {
            const uint8_t victimKind = kindOf(uint8_t(victim));
            if (victimKind == 0 || victimKind == King ||
                isBlackPiece(uint8_t(victim)) == isBlackPiece(uint8_t(mover)))
                continue;
            uint32_t captureClass = 0;
            if (moverKind == King)
                captureClass = 0x30;  // the king can only take an undefended man
            else if (WorthClass[victimKind] > WorthClass[moverKind])
                captureClass = 0x20;
            else if (WorthClass[victimKind] == WorthClass[moverKind])
                captureClass = 0x10;
            const uint32_t order = 0xA8 + 8 * VictimRank[victimKind] - AttackerRank[moverKind];
            CaptureOrder[mover][victim] = (order << 24) | (captureClass << 16);
        }
    }
}

namespace {

template <int D>
constexpr Bitboard shift(Bitboard b) {
    if constexpr (D > 0)
        return b << D;
    else
        return b >> -D;
}

inline uint32_t historyKey(uint8_t piece, Square to) { return uint32_t(HistoryTable[piece][to]) << 16; }

// Moves of the knights, bishops, rooks and queens onto targets, in that order, each keyed
// by CaptureOrder (column 0 for an empty square).
template <Side Us>
MoveEntry* pieceMovesOnto(const Position& pos, MoveEntry* out, Bitboard targets) {
    constexpr uint8_t OurKnight = pieceFor(Us, Knight), OurRook = pieceFor(Us, Rook),
                      OurQueen = pieceFor(Us, Queen);
    constexpr uint8_t OurLightBishop = pieceFor(Us, LightBishop), OurDarkBishop = pieceFor(Us, DarkBishop);
    const Bitboard occ = pos.pieces[AllMen];
    for (Bitboard b = pos.pieces[OurKnight]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        for (Bitboard t = KnightAttacks[from] & targets; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ = CaptureOrder[OurKnight][pos.board[to]] | encodeMove(from, to);
        }
    }
    for (Bitboard b = pos.pieces[OurLightBishop] | pos.pieces[OurDarkBishop]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        for (Bitboard t = bishopAttacks(from, occ) & targets; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ = CaptureOrder[pos.board[from]][pos.board[to]] | encodeMove(from, to);
        }
    }
    for (Bitboard b = pos.pieces[OurRook]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        for (Bitboard t = rookAttacks(from, occ) & targets; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ = CaptureOrder[OurRook][pos.board[to]] | encodeMove(from, to);
        }
    }
    for (Bitboard b = pos.pieces[OurQueen]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        for (Bitboard t = queenAttacks(from, occ) & targets; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ = CaptureOrder[OurQueen][pos.board[to]] | encodeMove(from, to);
        }
    }
    return out;
}

}  // namespace

template <Side Us>
MoveEntry* generateCaptures(const Position& pos, MoveEntry* out, Bitboard targets) {
    constexpr Side Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr int UpLeft = Us == White ? 7 : -9;   // toward file a
    constexpr int UpRight = Us == White ? 9 : -7;  // toward file h
    constexpr Bitboard Rank7 = Us == White ? 0x00FF000000000000ull : 0x000000000000FF00ull;
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKing = pieceFor(Us, King);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn), TheirKing = pieceFor(Them, King);

    const StateRecord& st = *pos.state;
    const Bitboard occ = pos.pieces[AllMen];
    const Bitboard ourAttacks = Us == White ? st.whiteAttacks : st.blackAttacks;
    const Bitboard theirAttacks = Us == White ? st.blackAttacks : st.whiteAttacks;

    if (st.epSquare) {
        const Square ep = st.epSquare;
        const uint32_t key = CaptureOrder[OurPawn][TheirPawn];
        if (fileOf(ep) != 7 && pos.board[ep - UpLeft] == OurPawn)
            *out++ = key | encodeMove(ep - UpLeft, ep, MoveEnPassant);
        if (fileOf(ep) != 0 && pos.board[ep - UpRight] == OurPawn)
            *out++ = key | encodeMove(ep - UpRight, ep, MoveEnPassant);
    }

    if (targets & ourAttacks) {
        const Bitboard pawns = pos.pieces[OurPawn] & ~Rank7;
        for (Bitboard b = shift<UpLeft>(pawns & NotFileA) & targets; b; b &= b - 1) {
            const Square to = lowestSquare(b);
            *out++ = CaptureOrder[OurPawn][pos.board[to]] | encodeMove(to - UpLeft, to);
        }
        for (Bitboard b = shift<UpRight>(pawns & NotFileH) & targets; b; b &= b - 1) {
            const Square to = lowestSquare(b);
            *out++ = CaptureOrder[OurPawn][pos.board[to]] | encodeMove(to - UpRight, to);
        }
        out = pieceMovesOnto<Us>(pos, out, targets);
        const Square k = kingSquare(pos, Us);
        for (Bitboard t = KingAttacks[k] & targets & ~theirAttacks; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ = CaptureOrder[OurKing][pos.board[to]] | encodeMove(k, to);
        }
    }

    const Bitboard theirKingBB = pos.pieces[TheirKing];
    for (Bitboard b = pos.pieces[OurPawn] & Rank7; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        const Square push = from + Up;
        if (!(occ & SquareBB[push])) {
            *out++ = 0xD8000000u | encodeMove(from, push, MovePromoQueen);
            if (KnightAttacks[push] & theirKingBB)
                *out++ = 0xC2000000u | encodeMove(from, push, MovePromoKnight);
        }
        if (fileOf(from) != 0 && (targets & SquareBB[from + UpLeft])) {
            const Square to = from + UpLeft;
            const uint32_t key = CaptureOrder[OurPawn][pos.board[to]];
            *out++ = (key + 0x28000000u) | encodeMove(from, to, MovePromoQueen);
            if (KnightAttacks[to] & theirKingBB)
                *out++ = (key + 0x1A000000u) | encodeMove(from, to, MovePromoKnight);
        }
        if (fileOf(from) != 7 && (targets & SquareBB[from + UpRight])) {
            const Square to = from + UpRight;
            const uint32_t key = CaptureOrder[OurPawn][pos.board[to]];
            *out++ = (key + 0x28000000u) | encodeMove(from, to, MovePromoQueen);
            if (KnightAttacks[to] & theirKingBB)
                *out++ = (key + 0x1A000000u) | encodeMove(from, to, MovePromoKnight);
        }
    }
    *out = 0;
    return out;
}

template <Side Us>
MoveEntry* generateQuiets(const Position& pos, MoveEntry* out) {
    constexpr Side Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr int UpLeft = Us == White ? 7 : -9;   // toward file a
    constexpr int UpRight = Us == White ? 9 : -7;  // toward file h
    constexpr Bitboard Rank2 = Us == White ? 0x000000000000FF00ull : 0x00FF000000000000ull;
    constexpr Bitboard Rank7 = Us == White ? 0x00FF000000000000ull : 0x000000000000FF00ull;
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKnight = pieceFor(Us, Knight),
                      OurKing = pieceFor(Us, King);
    constexpr uint8_t OurLightBishop = pieceFor(Us, LightBishop), OurDarkBishop = pieceFor(Us, DarkBishop);
    constexpr uint8_t OurRook = pieceFor(Us, Rook), OurQueen = pieceFor(Us, Queen);
    constexpr int TheirMen = menOf(Them);
    constexpr int ShortIndex = castlingIndex(Us, true), LongIndex = castlingIndex(Us, false);
    constexpr uint8_t ShortRight = castlingRight(ShortIndex), LongRight = castlingRight(LongIndex);
    constexpr Square ShortTo = castlingKingTo(ShortIndex), LongTo = castlingKingTo(LongIndex);

    const StateRecord& st = *pos.state;
    const Bitboard occ = pos.pieces[AllMen];
    const Bitboard empty = ~occ;
    const Bitboard theirAttacks = Us == White ? st.blackAttacks : st.whiteAttacks;

    // Castling: the king has not moved while it has a right, so it stands on its square.
    if (st.castling & (ShortRight | LongRight)) {
        const CastlingRules& rules = pos.castle;
        const Square king = rules.king[Us];
        if ((st.castling & ShortRight) && !(occ & rules.path[ShortIndex]) &&
            !(theirAttacks & rules.kingPath[ShortIndex]))
            *out++ = historyKey(OurKing, ShortTo) | encodeMove(king, ShortTo, MoveCastling);
        if ((st.castling & LongRight) && !(occ & rules.path[LongIndex]) &&
            !(theirAttacks & rules.kingPath[LongIndex]))
            *out++ = historyKey(OurKing, LongTo) | encodeMove(king, LongTo, MoveCastling);
    }

    // Squares from which each kind of man would attack the enemy king.
    const Square k = kingSquare(pos, Them);
    const Bitboard pawnChecks = PawnAttacks[Them][k];
    const Bitboard knightChecks = KnightAttacks[k];
    const Bitboard bishopChecks =
        (pos.pieces[OurLightBishop] | pos.pieces[OurDarkBishop] | pos.pieces[OurQueen])
            ? bishopAttacks(k, occ)
            : 0;
    const Bitboard rookChecks = (pos.pieces[OurRook] | pos.pieces[OurQueen]) ? rookAttacks(k, occ) : 0;

    for (Bitboard b = shift<Up>(pos.pieces[OurPawn] & ~Rank7) & empty; b; b &= b - 1) {
        const Square to = lowestSquare(b);
        const Square from = to - Up;
        if ((SquareBB[from] & Rank2) && (empty & SquareBB[to + Up])) {
            const Square twoUp = to + Up;
            *out++ = historyKey(OurPawn, twoUp) | (pawnChecks & SquareBB[twoUp] ? CheckHint : 0) |
                     encodeMove(from, twoUp);
        }
        *out++ = historyKey(OurPawn, to) | (pawnChecks & SquareBB[to] ? CheckHint : 0) | encodeMove(from, to);
    }
    for (Bitboard b = pos.pieces[OurQueen]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        for (Bitboard t = queenAttacks(from, occ) & empty; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ = historyKey(OurQueen, to) | ((bishopChecks | rookChecks) & SquareBB[to] ? CheckHint : 0) |
                     encodeMove(from, to);
        }
    }
    for (Bitboard b = pos.pieces[OurRook]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        for (Bitboard t = rookAttacks(from, occ) & empty; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ =
                historyKey(OurRook, to) | (rookChecks & SquareBB[to] ? CheckHint : 0) | encodeMove(from, to);
        }
    }
    for (Bitboard b = pos.pieces[OurLightBishop] | pos.pieces[OurDarkBishop]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        const uint8_t bishop = pos.board[from];
        for (Bitboard t = bishopAttacks(from, occ) & empty; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ =
                historyKey(bishop, to) | (bishopChecks & SquareBB[to] ? CheckHint : 0) | encodeMove(from, to);
        }
    }
    {
        const Square from = kingSquare(pos, Us);
        for (Bitboard t = KingAttacks[from] & empty & ~theirAttacks; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ = historyKey(OurKing, to) | encodeMove(from, to);
        }
    }
    for (Bitboard b = pos.pieces[OurKnight]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        for (Bitboard t = KnightAttacks[from] & empty; t; t &= t - 1) {
            const Square to = lowestSquare(t);
            *out++ = historyKey(OurKnight, to) | (knightChecks & SquareBB[to] ? CheckHint : 0) |
                     encodeMove(from, to);
        }
    }

    // Under-promotions: the knight only when it gives no check (the checking one is a capture-stage move).
    auto underPromotions = [&](Square from, Square to) {
        const uint32_t key = historyKey(OurPawn, to);
        if (!(knightChecks & SquareBB[to])) *out++ = key | encodeMove(from, to, MovePromoKnight);
        *out++ = key | encodeMove(from, to, MovePromoRook);
        *out++ = key | encodeMove(from, to, MovePromoBishop);
    };
    for (Bitboard b = pos.pieces[OurPawn] & Rank7; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        if (empty & SquareBB[from + Up]) underPromotions(from, from + Up);
        if (fileOf(from) != 0 && (pos.pieces[TheirMen] & SquareBB[from + UpLeft]))
            underPromotions(from, from + UpLeft);
        if (fileOf(from) != 7 && (pos.pieces[TheirMen] & SquareBB[from + UpRight]))
            underPromotions(from, from + UpRight);
    }
    *out = 0;
    return out;
}

template <Side Us>
MoveEntry* generateEvasions(const Position& pos, MoveEntry* out, Bitboard targets) {
    constexpr Side Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr int UpLeft = Us == White ? 7 : -9;   // toward file a
    constexpr int UpRight = Us == White ? 9 : -7;  // toward file h
    constexpr Bitboard Rank2 = Us == White ? 0x000000000000FF00ull : 0x00FF000000000000ull;
    constexpr Bitboard Rank8 = Us == White ? 0xFF00000000000000ull : 0x00000000000000FFull;
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKing = pieceFor(Us, King);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn);
    constexpr int OurMen = menOf(Us), TheirMen = menOf(Them);

    const StateRecord& st = *pos.state;
    const Bitboard occ = pos.pieces[AllMen];
    const Bitboard theirAttacks = Us == White ? st.blackAttacks : st.whiteAttacks;
    const Bitboard checkers = Us == White ? st.blackCheckers : st.whiteCheckers;
    const Square k = kingSquare(pos, Us);
    if (!checkers) {  // not in check: nothing to evade
        *out = 0;
        return out;
    }

    const Square c1 = lowestSquare(checkers);
    Bitboard kingTargets = (pos.board[c1] == TheirPawn ? KingAttacks[k] : KingEvasion[k][c1]) &
                           ~theirAttacks & ~pos.pieces[OurMen] & targets;
    const Bitboard others = checkers & (checkers - 1);
    if (others) {
        const Square c2 = lowestSquare(others);
        if (pos.board[c2] != TheirPawn) kingTargets &= KingEvasion[k][c2];
    }
    for (Bitboard t = kingTargets; t; t &= t - 1) {
        const Square to = lowestSquare(t);
        *out++ = CaptureOrder[OurKing][pos.board[to]] | encodeMove(k, to);
    }
    if (others) {  // double check: only the king can move
        *out = 0;
        return out;
    }

    targets &= BlockOrCapture[k][c1];

    auto pawnCaptures = [&](Bitboard destinations, int step) {
        for (; destinations; destinations &= destinations - 1) {
            const Square to = lowestSquare(destinations);
            const Square from = to - step;
            const uint32_t key = CaptureOrder[OurPawn][pos.board[to]];
            if (SquareBB[to] & Rank8) {
                *out++ = (key + 0x20000000u) | encodeMove(from, to, MovePromoQueen);
                *out++ = encodeMove(from, to, MovePromoKnight);
                *out++ = encodeMove(from, to, MovePromoRook);
                *out++ = encodeMove(from, to, MovePromoBishop);
            } else {
                *out++ = key | encodeMove(from, to);
            }
        }
    };
    const Bitboard pawns = pos.pieces[OurPawn];
    const Bitboard victims = pos.pieces[TheirMen] & targets;
    pawnCaptures(shift<UpLeft>(pawns & NotFileA) & victims, UpLeft);
    pawnCaptures(shift<UpRight>(pawns & NotFileH) & victims, UpRight);

    if (st.epSquare && (targets & SquareBB[st.epSquare - Up])) {
        const Square ep = st.epSquare;
        const uint32_t key = CaptureOrder[OurPawn][TheirPawn];
        if (fileOf(ep) != 0 && pos.board[ep - UpRight] == OurPawn)
            *out++ = key | encodeMove(ep - UpRight, ep, MoveEnPassant);
        if (fileOf(ep) != 7 && pos.board[ep - UpLeft] == OurPawn)
            *out++ = key | encodeMove(ep - UpLeft, ep, MoveEnPassant);
    }

    const Bitboard emptyTargets = targets & ~occ;
    const uint32_t pushKey = CaptureOrder[OurPawn][0];
    for (Bitboard b = shift<Up>(pawns) & emptyTargets; b; b &= b - 1) {
        const Square to = lowestSquare(b);
        const Square from = to - Up;
        if (SquareBB[to] & Rank8) {
            *out++ = pushKey | encodeMove(from, to, MovePromoQueen);
            *out++ = encodeMove(from, to, MovePromoKnight);
            *out++ = encodeMove(from, to, MovePromoRook);
            *out++ = encodeMove(from, to, MovePromoBishop);
        } else {
            *out++ = pushKey | encodeMove(from, to);
        }
    }
    for (Bitboard b = shift<Up>(shift<Up>(pawns & Rank2) & ~occ) & emptyTargets; b; b &= b - 1) {
        const Square to = lowestSquare(b);
        *out++ = pushKey | encodeMove(to - 2 * Up, to);
    }

    const Bitboard pieceTargets = targets & ~pos.pieces[OurMen];
    out = pieceMovesOnto<Us>(pos, out, pieceTargets);
    *out = 0;
    return out;
}

template <Side Us>
MoveEntry* generateQuietChecks(const Position& pos, MoveEntry* out, Bitboard exclude) {
    constexpr Side Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr int UpLeft = Us == White ? 7 : -9;                 // toward file a
    constexpr int UpRight = Us == White ? 9 : -7;                // toward file h
    constexpr int ThemUpLeft = -UpRight, ThemUpRight = -UpLeft;  // the same steps for their pawns
    constexpr Bitboard Rank2 = Us == White ? 0x000000000000FF00ull : 0x00FF000000000000ull;
    constexpr Bitboard Rank8 = Us == White ? 0xFF00000000000000ull : 0x00000000000000FFull;
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKnight = pieceFor(Us, Knight),
                      OurKing = pieceFor(Us, King);
    constexpr uint8_t OurLightBishop = pieceFor(Us, LightBishop), OurDarkBishop = pieceFor(Us, DarkBishop);
    constexpr uint8_t OurRook = pieceFor(Us, Rook), OurQueen = pieceFor(Us, Queen);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn), TheirKnight = pieceFor(Them, Knight);
    constexpr int OurMen = menOf(Us), TheirMen = menOf(Them);
    constexpr int DoublePushKingRank =
        Us == White ? 4 : 3;  // the enemy king's rank for a checking double push

    const StateRecord& st = *pos.state;
    const Bitboard occ = pos.pieces[AllMen];
    const Bitboard empty = ~occ;
    const Bitboard allowed = ~pos.pieces[OurMen] & ~exclude;
    const Bitboard ourAttacks = Us == White ? st.whiteAttacks : st.blackAttacks;
    const Bitboard theirAttacks = Us == White ? st.blackAttacks : st.whiteAttacks;
    const Bitboard ourBlockers = Us == White ? st.whiteXrayBlockers : st.blackXrayBlockers;
    const Square k = kingSquare(pos, Them);

    // Discovered checks: a man of ours standing alone between our slider and their king.
    for (Bitboard b = ourBlockers & pos.pieces[OurMen]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        const uint8_t p = pos.board[from];
        Bitboard destinations = 0;
        if (p == OurPawn) {
            if (fileOf(from) == fileOf(k)) continue;
            const Square push = from + Up;
            if ((empty & SquareBB[push]) && !(Rank8 & SquareBB[push])) {
                destinations |= SquareBB[push];
                if ((Rank2 & SquareBB[from]) && (empty & SquareBB[push + Up]))
                    destinations |= SquareBB[push + Up];
            }
            destinations |= PawnAttacks[Us][from] & pos.pieces[TheirMen] & ~Rank8;
        } else if (p == OurKnight) {
            destinations = KnightAttacks[from];
        } else if (p == OurRook) {
            destinations = rookAttacks(from, occ);
        } else if (p == OurLightBishop || p == OurDarkBishop) {
            destinations = bishopAttacks(from, occ);
        } else if (p == OurKing) {
            const uint8_t line = LineType[from][k];
            const Bitboard onLine = (line == LineRank || line == LineFile) ? RookRays[k] : BishopRays[k];
            destinations = KingAttacks[from] & ~theirAttacks & ~onLine;
        }
        for (Bitboard t = destinations & allowed; t; t &= t - 1) *out++ = encodeMove(from, lowestSquare(t));
    }

    // Direct checks.
    const Bitboard pawnChecks = PawnAttacks[Them][k];
    const Bitboard knightChecks = KnightAttacks[k];
    const Bitboard bishopChecks = bishopAttacks(k, occ);
    const Bitboard rookChecks = rookAttacks(k, occ);
    const Bitboard pawns = pos.pieces[OurPawn];

    for (Bitboard t = shift<UpRight>(pawns & NotFileH) & pos.pieces[TheirMen] & allowed & pawnChecks; t;
         t &= t - 1) {
        const Square to = lowestSquare(t);
        *out++ = encodeMove(to - UpRight, to);
    }
    for (Bitboard t = shift<UpLeft>(pawns & NotFileA) & pos.pieces[TheirMen] & allowed & pawnChecks; t;
         t &= t - 1) {
        const Square to = lowestSquare(t);
        *out++ = encodeMove(to - UpLeft, to);
    }

    // Squares guarded by enemy pawns and knights that are free to capture (not pinned by us).
    const Bitboard freePawns = pos.pieces[TheirPawn] & ~ourBlockers;
    const Bitboard pawnGuarded =
        shift<ThemUpLeft>(freePawns & NotFileA) | shift<ThemUpRight>(freePawns & NotFileH);
    Bitboard knightGuarded = 0;
    for (Bitboard b = pos.pieces[TheirKnight] & ~ourBlockers; b; b &= b - 1)
        knightGuarded |= KnightAttacks[lowestSquare(b)];

    auto addChecked = [&](Square from, Bitboard destinations) {
        for (; destinations; destinations &= destinations - 1) {
            const Move move = encodeMove(from, lowestSquare(destinations));
            if (seeOk<Us>(pos, move)) *out++ = move;
        }
    };
    for (Bitboard b = pos.pieces[OurQueen]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        addChecked(from, queenAttacks(from, occ) & (bishopChecks | rookChecks) & allowed &
                             ~(pawnGuarded | knightGuarded));
    }
    for (Bitboard b = pos.pieces[OurRook]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        addChecked(from, rookAttacks(from, occ) & rookChecks & allowed & ~(pawnGuarded | knightGuarded));
    }
    for (Bitboard b = pos.pieces[OurLightBishop] | pos.pieces[OurDarkBishop]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        addChecked(from, bishopAttacks(from, occ) & bishopChecks & allowed & ~pawnGuarded);
    }
    for (Bitboard b = pos.pieces[OurKnight]; b; b &= b - 1) {
        const Square from = lowestSquare(b);
        addChecked(from, KnightAttacks[from] & knightChecks & allowed & ~pawnGuarded);
    }

    // Pawn pushes onto the empty squares diagonally in front of the king, when supported.
    // No push arrives on our own first rank (a king there has its pawn check squares on it).
    constexpr Bitboard Rank1 = Us == White ? 0x00000000000000FFull : 0xFF00000000000000ull;
    const Bitboard straightSliders = pos.pieces[OurRook] | pos.pieces[OurQueen];
    for (Bitboard t = pawnChecks & empty & allowed & ~Rank8 & ~Rank1; t; t &= t - 1) {
        const Square to = lowestSquare(t);
        Square from;
        if (pos.board[to - Up] == OurPawn)
            from = to - Up;
        else if (rankOf(k) == DoublePushKingRank && (empty & SquareBB[to - Up]) &&
                 pos.board[to - 2 * Up] == OurPawn && (Rank2 & SquareBB[to - 2 * Up]))
            from = to - 2 * Up;
        else
            continue;
        const Bitboard behind = Us == White ? SquareBB[from] - 1 : ~((SquareBB[from] << 1) - 1);
        const bool supported = (ourAttacks & SquareBB[to]) ||
                               (rookAttacks(from, occ) & straightSliders & FileMask[fileOf(from)] & behind);
        const Move move = encodeMove(from, to);
        if (supported && seeOk<Us>(pos, move)) *out++ = move;
    }
    *out = 0;
    return out;
}

template <Side Us>
MoveEntry* generateGainMoves(const Position& pos, MoveEntry* out, int threshold) {
    constexpr Side Them = opposite(Us);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr Bitboard Rank2 = Us == White ? 0x000000000000FF00ull : 0x00FF000000000000ull;
    constexpr Bitboard Rank7 = Us == White ? 0x00FF000000000000ull : 0x000000000000FF00ull;
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKing = pieceFor(Us, King);

    const StateRecord& st = *pos.state;
    const Bitboard occ = pos.pieces[AllMen];
    const Bitboard empty = ~occ;
    const Bitboard theirAttacks = Them == White ? st.whiteAttacks : st.blackAttacks;
    MoveEntry* const first = out;

    auto add = [&](uint8_t piece, Square from, Square to) {
        const int gain = PositionalGainTable[piece][from * 64 + to];
        if (gain >= threshold) *out++ = (uint32_t(uint16_t(int16_t(gain))) << 16) | encodeMove(from, to);
    };
    const Bitboard singles = shift<Up>(pos.pieces[OurPawn] & ~Rank7) & empty;
    for (Bitboard t = singles; t; t &= t - 1) add(OurPawn, lowestSquare(t) - Up, lowestSquare(t));
    for (Bitboard t = shift<Up>(singles & shift<Up>(Rank2)) & empty; t; t &= t - 1)
        add(OurPawn, lowestSquare(t) - 2 * Up, lowestSquare(t));

    static constexpr uint8_t PieceOrder[5] = {pieceFor(Us, Knight), pieceFor(Us, LightBishop),
                                              pieceFor(Us, DarkBishop), pieceFor(Us, Rook),
                                              pieceFor(Us, Queen)};
    for (uint8_t piece : PieceOrder) {
        for (Bitboard b = pos.pieces[piece]; b; b &= b - 1) {
            const Square from = lowestSquare(b);
            Bitboard destinations;
            if (piece == pieceFor(Us, Knight))
                destinations = KnightAttacks[from];
            else if (piece == pieceFor(Us, Rook))
                destinations = rookAttacks(from, occ);
            else if (piece == pieceFor(Us, Queen))
                destinations = queenAttacks(from, occ);
            else
                destinations = bishopAttacks(from, occ);
            for (Bitboard t = destinations & empty; t; t &= t - 1) add(piece, from, lowestSquare(t));
        }
    }
    const Square k = kingSquare(pos, Us);
    for (Bitboard t = KingAttacks[k] & empty & ~theirAttacks; t; t &= t - 1) add(OurKing, k, lowestSquare(t));

    // Insertion sort, highest entry first.
    for (MoveEntry* p = first + 1; p < out; ++p) {
        const MoveEntry entry = *p;
        MoveEntry* q = p;
        for (; q > first && q[-1] < entry; --q) *q = q[-1];
        *q = entry;
    }
    *out = 0;
    return out;
}

#define ORVO_INSTANTIATE(Us)                                                            \
    template MoveEntry* generateCaptures<Us>(const Position&, MoveEntry*, Bitboard);    \
    template MoveEntry* generateQuiets<Us>(const Position&, MoveEntry*);                \
    template MoveEntry* generateEvasions<Us>(const Position&, MoveEntry*, Bitboard);    \
    template MoveEntry* generateQuietChecks<Us>(const Position&, MoveEntry*, Bitboard); \
    template MoveEntry* generateGainMoves<Us>(const Position&, MoveEntry*, int);
ORVO_INSTANTIATE(White)
ORVO_INSTANTIATE(Black)
#undef ORVO_INSTANTIATE

MoveEntry* generateCapturesAny(const Position& pos, MoveEntry* out, Bitboard targets) {
    if (pos.sideToMove == White) return generateCaptures<White>(pos, out, targets & pos.pieces[BlackMen]);
    return generateCaptures<Black>(pos, out, targets & pos.pieces[WhiteMen]);
}

MoveEntry* generateQuietsAny(const Position& pos, MoveEntry* out) {
    return pos.sideToMove == White ? generateQuiets<White>(pos, out) : generateQuiets<Black>(pos, out);
}

MoveEntry* generateEvasionsAny(const Position& pos, MoveEntry* out, Bitboard targets) {
    return pos.sideToMove == White ? generateEvasions<White>(pos, out, targets)
                                   : generateEvasions<Black>(pos, out, targets);
}
