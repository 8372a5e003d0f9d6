#include "shell/movetext.h"

#include <cstring>

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/makemove.h"
#include "core/params.h"
#include "movegen/generate.h"

namespace {

// Whether the castling of the right is written as the king taking its rook. With the
// UCI_Chess960 option it always is. Without it, castling is the king's move two files over,
// as in standard chess; but with the king and rooks of a Chess960 position set up without
// the option, the king may reach its destination in one step, none at all or several, and
// that text would be another move or none: then the king takes its rook there too.
bool castlingAsRookCapture(const Position& pos, int index) {
    const int files = fileOf(castlingKingTo(index)) - fileOf(pos.castle.king[castlingSide(index)]);
    return optionChess960 || (files != 2 && files != -2);
}

bool squareFromText(const char* t, Square& s) {
    if (t[0] < 'a' || t[0] > 'h' || t[1] < '1' || t[1] > '8') return false;
    s = makeSquare(t[0] - 'a', t[1] - '1');
    return true;
}

}  // namespace

Move legalMoveFromText(Position& pos, const char* word, size_t length) {
    Square from, to;
    // Characters after the fifth are ignored, as they always were.
    if (length < 4 || !squareFromText(word, from) || !squareFromText(word + 2, to)) return NoMove;
    Move move = moveFromText(pos, encodeMove(from, to));
    // The promotion piece, in the order of the promotion move types; another letter is ignored.
    constexpr char PromotionLetters[] = "nbrq";
    const char* const promotion = length == 5 && word[4] ? strchr(PromotionLetters, word[4]) : nullptr;
    if (promotion) move |= Move((MovePromoKnight + (promotion - PromotionLetters)) << 12);
    MoveEntry list[MaxMoves];
    computeAttacks(pos);
    MoveEntry* last;
    if (inCheck(pos)) {
        last = generateEvasionsAny(pos, list, ~Bitboard(0));
    } else {
        last = generateCapturesAny(pos, list, ~Bitboard(0));
        last = generateQuietsAny(pos, last);
    }
    for (MoveEntry* e = list; e < last; ++e) {
        if ((*e & MoveMask) != move) continue;
        const Side mover = pos.sideToMove;
        makeMoveAny(pos, move);
        computeAttacks(pos);
        const Bitboard theirAttacks = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        const bool legal = !(theirAttacks & SquareBB[kingSquare(pos, mover)]);
        unmakeMoveAny(pos, move);
        return legal ? move : NoMove;  // a move that leaves the own king in check is none
    }
    return NoMove;
}

Move moveFromText(const Position& pos, Move partial) {
    if (!partial) return NoMove;
    const Square from = moveFrom(partial), to = moveTo(partial);
    const uint8_t kind = kindOf(pos.board[from]);
    // The king onto one of its castling rooks: castling to that rook's side.
    const Side side = isBlackPiece(pos.board[from]) ? Black : White;
    if (kind == King && from == pos.castle.king[side] && pos.board[to] == pieceFor(side, Rook))
        for (const bool shortSide : {true, false}) {
            const int index = castlingIndex(side, shortSide);
            if (pos.castle.rook[index] == to && castlingAsRookCapture(pos, index))
                return encodeMove(from, castlingKingTo(index), MoveCastling);
        }
    if (!optionChess960 && kind == King && (to - from == 2 || from - to == 2))
        return Move(partial | (MoveCastling << 12));
    if (kind == Pawn && pos.state->epSquare && to == pos.state->epSquare)
        return Move(partial | (MoveEnPassant << 12));
    return partial;
}

char* moveToText(Move move, char* buffer, const Position& pos) {
    moveToText(move, buffer);
    const Side side = rankOf(moveFrom(move)) == 0 ? White : Black;
    const int index = castlingIndexOfMove(side, moveTo(move));
    if (moveType(move) == MoveCastling && castlingAsRookCapture(pos, index)) {
        const Square rook = pos.castle.rook[index];
        buffer[2] = char('a' + fileOf(rook));
        buffer[3] = char('1' + rankOf(rook));
    }
    return buffer;
}

char* moveToText(Move move, char* buffer) {
    if (!move) {
        std::memcpy(buffer, "NULL", 5);
        return buffer;
    }
    const Square from = moveFrom(move), to = moveTo(move);
    char* p = buffer;
    *p++ = char('a' + fileOf(from));
    *p++ = char('1' + rankOf(from));
    *p++ = char('a' + fileOf(to));
    *p++ = char('1' + rankOf(to));
    if (isPromotion(move)) *p++ = "nbrq"[moveType(move) - MovePromoKnight];
    *p = '\0';
    return buffer;
}
