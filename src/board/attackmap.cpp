#include "board/attackmap.h"

#include "board/bitboard.h"

namespace {

// Attacks, checkers and lone blockers of side Us against the king of the other side.
template <Side Us>
inline void sideAttacks(Position& pos, Bitboard& attacksOut, Bitboard& checkersOut, Bitboard& blockersOut) {
    constexpr Side Them = opposite(Us);
    constexpr uint8_t OurKnight = pieceFor(Us, Knight);
    constexpr uint8_t OurLightBishop = pieceFor(Us, LightBishop), OurDarkBishop = pieceFor(Us, DarkBishop);
    constexpr uint8_t OurRook = pieceFor(Us, Rook), OurQueen = pieceFor(Us, Queen);
    uint8_t* const pinner = Us == White ? pos.pinnerOfBlack : pos.pinnerOfWhite;

    const Bitboard occ = pos.pieces[AllMen];
    const Square theirKing = kingSquare(pos, Them);
    const Bitboard theirKingBB = SquareBB[theirKing];
    Bitboard attacks = KingAttacks[kingSquare(pos, Us)];
    Bitboard checkers = 0, blockers = 0;

    for (Bitboard b = pos.pieces[OurKnight]; b; b &= b - 1) {
        const Square s = lowestSquare(b);
        attacks |= KnightAttacks[s];
        if (KnightAttacks[s] & theirKingBB) checkers |= SquareBB[s];
    }
    for (Bitboard b = pos.pieces[OurLightBishop] | pos.pieces[OurDarkBishop]; b; b &= b - 1) {
        const Square s = lowestSquare(b);
        const Bitboard a = bishopAttacks(s, occ);
        attacks |= a;
        if (a & theirKingBB) {
            checkers |= SquareBB[s];
        } else if (BishopRays[s] & theirKingBB) {
            const Bitboard between = a & bishopAttacks(theirKing, occ);
            blockers |= between;
            if (between) pinner[lowestSquare(between)] = uint8_t(s);
        }
    }
    for (Bitboard b = pos.pieces[OurRook]; b; b &= b - 1) {
        const Square s = lowestSquare(b);
        const Bitboard a = rookAttacks(s, occ);
        attacks |= a;
        if (a & theirKingBB) {
            checkers |= SquareBB[s];
        } else if (RookRays[s] & theirKingBB) {
            const Bitboard between = a & rookAttacks(theirKing, occ);
            blockers |= between;
            if (between) pinner[lowestSquare(between)] = uint8_t(s);
        }
    }
    for (Bitboard b = pos.pieces[OurQueen]; b; b &= b - 1) {
        const Square s = lowestSquare(b);
        const Bitboard ab = bishopAttacks(s, occ), ar = rookAttacks(s, occ);
        attacks |= ab | ar;
        if ((ab | ar) & theirKingBB) {
            checkers |= SquareBB[s];
        } else {
            Bitboard between = 0;
            if (BishopRays[s] & theirKingBB)
                between = ab & bishopAttacks(theirKing, occ);
            else if (RookRays[s] & theirKingBB)
                between = ar & rookAttacks(theirKing, occ);
            blockers |= between;
            if (between) pinner[lowestSquare(between)] = uint8_t(s);
        }
    }
    attacksOut = attacks;
    checkersOut = checkers;
    blockersOut = blockers;
}

}  // namespace

void computeAttacks(Position& pos) {
    StateRecord& st = *pos.state;
    sideAttacks<White>(pos, st.whiteAttacks, st.whiteCheckers, st.whiteXrayBlockers);
    sideAttacks<Black>(pos, st.blackAttacks, st.blackCheckers, st.blackXrayBlockers);

    const Bitboard whitePawns = pos.pieces[WhitePawn], blackPawns = pos.pieces[BlackPawn];
    st.whiteAttacks |= ((whitePawns & NotFileA) << 7) | ((whitePawns & NotFileH) << 9);
    st.blackAttacks |= ((blackPawns & NotFileA) >> 9) | ((blackPawns & NotFileH) >> 7);
    st.whiteCheckers |= whitePawns & PawnAttacks[Black][pos.blackKingSquare];
    st.blackCheckers |= blackPawns & PawnAttacks[White][pos.whiteKingSquare];
}

Bitboard attackersOf(const Position& pos, Square s, Side by) {
    const Bitboard occ = pos.pieces[AllMen];
    const Bitboard queens = pos.pieces[pieceFor(by, Queen)];
    const Bitboard diagonal =
        pos.pieces[pieceFor(by, LightBishop)] | pos.pieces[pieceFor(by, DarkBishop)] | queens;
    const Bitboard straight = pos.pieces[pieceFor(by, Rook)] | queens;
    return (KnightAttacks[s] & pos.pieces[pieceFor(by, Knight)]) | (bishopAttacks(s, occ) & diagonal) |
           (rookAttacks(s, occ) & straight) | (KingAttacks[s] & pos.pieces[pieceFor(by, King)]) |
           (PawnAttacks[opposite(by)][s] & pos.pieces[pieceFor(by, Pawn)]);
}
