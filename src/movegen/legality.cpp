#include "movegen/legality.h"

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/makemove.h"
#include "movegen/generate.h"

template <Side Us>
bool isPseudoLegal(const Position& pos, Move move) {
    constexpr Side Them = opposite(Us);
    constexpr int OurMen = menOf(Us), TheirMen = menOf(Them);
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKnight = pieceFor(Us, Knight),
                      OurKing = pieceFor(Us, King);
    constexpr uint8_t OurRook = pieceFor(Us, Rook), OurQueen = pieceFor(Us, Queen);
    constexpr uint8_t TheirKing = pieceFor(Them, King);
    constexpr int Up = Us == White ? 8 : -8;
    constexpr int LastRank = Us == White ? 7 : 0;
    constexpr int SecondRank = Us == White ? 1 : 6;
    constexpr int ShortIndex = castlingIndex(Us, true), LongIndex = castlingIndex(Us, false);
    constexpr Square ShortTo = castlingKingTo(ShortIndex), LongTo = castlingKingTo(LongIndex);

    const Square from = moveFrom(move), to = moveTo(move);
    const int type = moveType(move);
    const uint8_t p = pos.board[from];
    if (!(pos.pieces[OurMen] & SquareBB[from])) return false;
    const Bitboard occ = pos.pieces[AllMen];
    const Bitboard theirAttacks = Us == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
    if (type == MoveCastling) [[unlikely]] {
        // The king may already stand on its destination, or the rook on it: the path and
        // the right decide, not the to-square's man.
        const int index = to == ShortTo ? ShortIndex : to == LongTo ? LongIndex : -1;
        if (index < 0 || p != OurKing || from != pos.castle.king[Us]) return false;
        return (pos.state->castling & castlingRight(index)) && !(theirAttacks & SquareBB[from]) &&
               !(occ & pos.castle.path[index]) && !(theirAttacks & pos.castle.kingPath[index]);
    }
    if ((pos.pieces[OurMen] & SquareBB[to]) || pos.board[to] == TheirKing) return false;

    if (p == OurPawn) {
        // A promotion type belongs to a move onto the last rank and only there.
        if ((rankOf(to) == LastRank) != isPromotion(move)) return false;
        const int step = to - from;
        const bool diagonal = (step == Up - 1 || step == Up + 1) &&
                              (fileOf(to) - fileOf(from) == 1 || fileOf(from) - fileOf(to) == 1);
        if (type == MoveEnPassant) return diagonal && to == pos.state->epSquare && to != 0;
        if (type != MoveNormal && !isPromotion(move)) return false;
        if (diagonal) return (pos.pieces[TheirMen] & SquareBB[to]) != 0;
        if (step == Up) return !(occ & SquareBB[to]);
        if (step == 2 * Up)
            return rankOf(from) == SecondRank && !(occ & (SquareBB[from + Up] | SquareBB[to]));
        return false;
    }
    if (p == OurKing) {
        if (type != MoveNormal) return false;
        return (KingAttacks[from] & SquareBB[to]) && !(theirAttacks & SquareBB[to]);
    }
    // Knights, bishops, rooks and queens move only with the normal type.
    if (type != MoveNormal) return false;
    if (p == OurKnight) return (KnightAttacks[from] & SquareBB[to]) != 0;
    if (p == OurRook) return (rookAttacks(from, occ) & SquareBB[to]) != 0;
    if (p == OurQueen) return (queenAttacks(from, occ) & SquareBB[to]) != 0;
    return (bishopAttacks(from, occ) & SquareBB[to]) != 0;
}

template bool isPseudoLegal<White>(const Position&, Move);
template bool isPseudoLegal<Black>(const Position&, Move);

int mateTest(Position& pos) {
    MoveEntry list[MaxMoves];
    MoveEntry* const end = generateEvasionsAny(pos, list, ~Bitboard(0));
    const Side mover = pos.sideToMove;
    for (MoveEntry* e = list; e < end; ++e) {
        const Move move = entryMove(*e);
        makeMoveAny(pos, move);
        computeAttacks(pos);
        const Bitboard theirAttacks = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        const bool legal = !(theirAttacks & SquareBB[kingSquare(pos, mover)]);
        unmakeMoveAny(pos, move);
        if (legal) return 0;
    }
    return 16 * pos.ply - 30000;
}
