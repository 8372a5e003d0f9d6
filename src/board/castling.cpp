#include "board/castling.h"

namespace {

// The squares from a to b on one rank, both included.
Bitboard span(Square a, Square b) {
    const Square low = a < b ? a : b, high = a < b ? b : a;
    Bitboard squares = 0;
    for (Square s = low; s <= high; ++s) squares |= Bitboard(1) << s;
    return squares;
}

}  // namespace

void setCastlingRules(CastlingRules& rules, Square whiteKing, Square blackKing, const Square rooks[4]) {
    for (uint8_t& m : rules.mask) m = WhiteShort | WhiteLong | BlackShort | BlackLong;
    rules.king[White] = uint8_t(whiteKing);
    rules.king[Black] = uint8_t(blackKing);
    rules.mask[whiteKing] &= uint8_t(~(WhiteShort | WhiteLong));
    rules.mask[blackKing] &= uint8_t(~(BlackShort | BlackLong));
    for (int i = 0; i < 4; ++i) {
        const Square king = rules.king[castlingSide(i)], rook = rooks[i];
        rules.rook[i] = uint8_t(rook);
        rules.mask[rook] &= uint8_t(~castlingRight(i));
        const Bitboard men = (Bitboard(1) << king) | (Bitboard(1) << rook);
        rules.path[i] = (span(king, castlingKingTo(i)) | span(rook, castlingRookTo(i))) & ~men;
        rules.kingPath[i] = span(king, castlingKingTo(i)) & ~(Bitboard(1) << king);
    }
}

void setStandardCastling(CastlingRules& rules) {
    static const Square Rooks[4] = {H1, A1, H8, A8};
    setCastlingRules(rules, E1, E8, Rooks);
}
