#include "board/makemove.h"

#include <cstring>

#include "board/bitboard.h"
#include "board/pst.h"
#include "board/zobrist.h"
#include "hash/pawnhash.h"
#include "hash/tt.h"

const uint8_t promotionPiece[8] = {0, 0, 0, 0, WhiteKnight, WhiteLightBishop, WhiteRook, WhiteQueen};

namespace {

// rule50 is a byte: it stops at 255 instead of wrapping to small values.
inline uint8_t nextRule50(uint8_t rule50) { return uint8_t(rule50 + (rule50 != 255)); }

// Castling lifts the king and the rook of the right and puts them down on their squares
// beside each other; taking it back does the same the other way. Either may already stand on
// its destination, and each may end where the other started, so both are lifted before either
// is put down.
template <Side Us>
void placeCastlingMen(Position& pos, Square kingFrom, Square kingTo, Square rookFrom, Square rookTo) {
    constexpr int OurMen = menOf(Us);
    constexpr uint8_t OurKing = pieceFor(Us, King), OurRook = pieceFor(Us, Rook);
    const Bitboard kingMove = SquareBB[kingFrom] ^ SquareBB[kingTo],
                   rookMove = SquareBB[rookFrom] ^ SquareBB[rookTo];
    pos.pieces[OurMen] ^= kingMove ^ rookMove;
    pos.pieces[AllMen] ^= kingMove ^ rookMove;
    pos.pieces[OurKing] ^= kingMove;
    pos.pieces[OurRook] ^= rookMove;
    pos.board[kingFrom] = NoPiece;
    pos.board[rookFrom] = NoPiece;
    pos.board[rookTo] = OurRook;
    pos.board[kingTo] = OurKing;
    if constexpr (Us == White)
        pos.whiteKingSquare = uint8_t(kingTo);
    else
        pos.blackKingSquare = uint8_t(kingTo);
}

// The king's move of a castling move from `from` to `to`, and its rook's.
template <Side Us>
void moveCastlingMen(Position& pos, Square from, Square to) {
    const int right = castlingIndexOfMove(Us, to);
    placeCastlingMen<Us>(pos, from, to, pos.castle.rook[right], castlingRookTo(right));
}

template <Side Us>
void unmoveCastlingMen(Position& pos, Square from, Square to) {
    const int right = castlingIndexOfMove(Us, to);
    placeCastlingMen<Us>(pos, to, from, castlingRookTo(right), pos.castle.rook[right]);
}

}  // namespace

template <Side Us>
void makeMove(Position& pos, Move move) {
    constexpr Side Them = opposite(Us);
    constexpr int OurMen = menOf(Us), TheirMen = menOf(Them);
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKing = pieceFor(Us, King),
                      OurRook = pieceFor(Us, Rook);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn);
    constexpr int Up = Us == White ? 8 : -8;

    const Square from = moveFrom(move), to = moveTo(move);
    const int type = moveType(move);
    const Bitboard fromBB = SquareBB[from], toBB = SquareBB[to];

    countNode(pos);
    StateRecord* const prev = pos.state;
    StateRecord* const st = prev + 1;
    std::memcpy(static_cast<void*>(st), prev, 32);
    pos.state = st;
    st->rule50 = nextRule50(prev->rule50);
    st->lastMove = move;

    uint64_t key = prev->key ^ SideKey;
    uint64_t pawnKey = prev->pawnKey;

    const uint8_t castling = prev->castling & pos.castle.mask[from] & pos.castle.mask[to];
    if (castling != prev->castling) {
        key ^= castleKey[prev->castling ^ castling];
        pawnKey ^= castleKey[prev->castling ^ castling];
        st->castling = castling;
    }
    if (prev->epSquare) {
        key ^= epKey[fileOf(prev->epSquare)];
        st->epSquare = 0;
    }

    if (type == MoveCastling) [[unlikely]] {
        const int right = castlingIndexOfMove(Us, to);
        const Square rookFrom = pos.castle.rook[right], rookTo = castlingRookTo(right);
        moveCastlingMen<Us>(pos, from, to);
        st->psqScore += PST[OurKing][to] - PST[OurKing][from] + PST[OurRook][rookTo] - PST[OurRook][rookFrom];
        key ^=
            psqKey[OurKing][from] ^ psqKey[OurKing][to] ^ psqKey[OurRook][rookFrom] ^ psqKey[OurRook][rookTo];
        pawnKey ^= psqKey[OurKing][from] ^ psqKey[OurKing][to];
        st->capturedPiece = NoPiece;
        st->rule50 = 0;
        pos.sideToMove = Them;
        ++pos.ply;
        st->key = key;
        st->pawnKey = pawnKey;
        pos.keyHistory[++pos.historyLength] = key;
        prefetchTT(key);
        prefetchPawn(pawnKey);
        return;
    }

    // Lift the moving man.
    const uint8_t p = pos.board[from];
    pos.pieces[OurMen] ^= fromBB;
    pos.pieces[AllMen] ^= fromBB;
    pos.pieces[p] ^= fromBB;
    pos.board[from] = NoPiece;
    st->psqScore += PST[p][to] - PST[p][from];
    key ^= psqKey[p][from] ^ psqKey[p][to];
    if (p == OurPawn || p == OurKing) pawnKey ^= psqKey[p][from] ^ psqKey[p][to];

    const uint8_t captured = pos.board[to];
    st->capturedPiece = captured;

    pos.sideToMove = Them;
    ++pos.ply;
    if (p == OurKing) {
        if constexpr (Us == White)
            pos.whiteKingSquare = uint8_t(to);
        else
            pos.blackKingSquare = uint8_t(to);
    }

    if (captured) {
        pos.pieces[TheirMen] ^= toBB;
        pos.pieces[captured] ^= toBB;
        st->materialInfo -= MaterialIncrement[captured];
        st->psqScore -= PST[captured][to];
        key ^= psqKey[captured][to];
        if (captured == TheirPawn) pawnKey ^= psqKey[captured][to];
        st->rule50 = 0;
    } else {
        pos.pieces[AllMen] |= toBB;
    }

    // Put the man down.
    pos.pieces[OurMen] |= toBB;
    pos.pieces[p] |= toBB;
    pos.board[to] = p;

    if (p == OurPawn) {
        st->rule50 = 0;
        if (type == MoveEnPassant) {
            const Square victim = to - Up;
            const Bitboard victimBB = SquareBB[victim];
            pos.pieces[TheirMen] ^= victimBB;
            pos.pieces[TheirPawn] ^= victimBB;
            pos.pieces[AllMen] ^= victimBB;
            st->materialInfo -= MaterialIncrement[TheirPawn];
            st->psqScore -= PST[TheirPawn][victim];
            key ^= psqKey[TheirPawn][victim];
            pawnKey ^= psqKey[TheirPawn][victim];
            pos.board[victim] = NoPiece;
        } else if (isPromotion(move)) {
            uint8_t q = pieceFor(Us, promotionPiece[type]);
            if (type == MovePromoBishop && isDarkSquare(to)) ++q;
            if (pos.pieces[q]) st->materialInfo |= IrregularMaterial;
            pos.pieces[OurPawn] ^= toBB;
            pos.pieces[q] |= toBB;
            pos.board[to] = q;
            st->materialInfo += MaterialIncrement[q] - MaterialIncrement[OurPawn];
            st->psqScore += PST[q][to] - PST[OurPawn][to];
            key ^= psqKey[OurPawn][to] ^ psqKey[q][to];
            pawnKey ^= psqKey[OurPawn][to];
        } else if (to - from == 2 * Up) {
            // The en-passant square is set only when an enemy pawn stands beside the pawn.
            const Bitboard beside = ((toBB & NotFileA) >> 1) | ((toBB & NotFileH) << 1);
            if (beside & pos.pieces[TheirPawn]) {
                const Square passed = (from + to) / 2;
                st->epSquare = uint8_t(passed);
                key ^= epKey[fileOf(passed)];
            }
        }
    }

    st->key = key;
    st->pawnKey = pawnKey;
    pos.keyHistory[++pos.historyLength] = key;
    prefetchTT(key);
    if (pawnKey != (st - 1)->pawnKey) prefetchPawn(pawnKey);
}

template <Side Us>
void unmakeMove(Position& pos, Move move) {
    constexpr Side Them = opposite(Us);
    constexpr int OurMen = menOf(Us), TheirMen = menOf(Them);
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKing = pieceFor(Us, King);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn);
    constexpr int Up = Us == White ? 8 : -8;

    const Square from = moveFrom(move), to = moveTo(move);
    const int type = moveType(move);
    const Bitboard fromBB = SquareBB[from], toBB = SquareBB[to];
    const StateRecord* const st = pos.state;

    pos.sideToMove = Us;
    --pos.ply;

    if (type == MoveCastling) [[unlikely]] {
        unmoveCastlingMen<Us>(pos, from, to);
        --pos.historyLength;
        pos.state = pos.state - 1;
        return;
    }

    uint8_t p = pos.board[to];
    if (isPromotion(move)) {
        pos.pieces[p] ^= toBB;
        p = OurPawn;
        pos.pieces[p] ^= fromBB;
    } else {
        pos.pieces[p] ^= fromBB | toBB;
    }
    const uint8_t captured = st->capturedPiece;
    pos.board[from] = p;
    pos.board[to] = captured;
    if (p == OurKing) {
        if constexpr (Us == White)
            pos.whiteKingSquare = uint8_t(from);
        else
            pos.blackKingSquare = uint8_t(from);
    }
    pos.pieces[OurMen] ^= fromBB | toBB;
    pos.pieces[AllMen] |= fromBB;

    if (captured) {
        pos.pieces[TheirMen] |= toBB;
        pos.pieces[captured] |= toBB;
    } else {
        pos.pieces[AllMen] ^= toBB;
        if (type == MoveEnPassant) {
            const Square victim = to - Up;
            const Bitboard victimBB = SquareBB[victim];
            pos.pieces[TheirMen] |= victimBB;
            pos.pieces[TheirPawn] |= victimBB;
            pos.pieces[AllMen] |= victimBB;
            pos.board[victim] = TheirPawn;
        }
    }

    --pos.historyLength;
    pos.state = pos.state - 1;
}

template void makeMove<White>(Position&, Move);
template void makeMove<Black>(Position&, Move);
template void unmakeMove<White>(Position&, Move);
template void unmakeMove<Black>(Position&, Move);

void makeMoveAny(Position& pos, Move move) {
    // Moves made outside the node searches are not counted.
    std::atomic_ref<uint64_t>(pos.nodes).store(pos.nodes - 1, std::memory_order_relaxed);
    if (pos.sideToMove == White)
        makeMove<White>(pos, move);
    else
        makeMove<Black>(pos, move);
}

void unmakeMoveAny(Position& pos, Move move) {
    // The side that made the move is the one not to move now.
    if (pos.sideToMove == White)
        unmakeMove<Black>(pos, move);
    else
        unmakeMove<White>(pos, move);
}

void makeNullMove(Position& pos) {
    countNode(pos);
    StateRecord* const prev = pos.state;
    prev->materialFlagsSaved = prev->materialFlags;
    StateRecord* const st = prev + 1;
    std::memcpy(static_cast<void*>(st), prev, 64);
    pos.state = st;

    st->key ^= SideKey;
    pos.sideToMove = opposite(pos.sideToMove);
    ++pos.ply;
    st->rule50 = nextRule50(prev->rule50);
    if (st->epSquare) {
        st->key ^= epKey[fileOf(st->epSquare)];
        st->epSquare = 0;
    }
    st->evalScore = -prev->evalScore - 4 - int32_t(prev->materialInfo & 0xFF) / 4;
    st->positionalScore = prev->positionalScore;
    st->lazyCount = prev->lazyCount;
    // Clearing the null-move permissions keeps a second null move from following at once.
    st->materialFlags = uint8_t(prev->materialFlags & ~3);
    st->lastMove = NoMove;
    pos.keyHistory[++pos.historyLength] = st->key;
    prefetchTT(st->key);
}

void unmakeNullMove(Position& pos) {
    --pos.historyLength;
    pos.state = pos.state - 1;
    --pos.ply;
    pos.sideToMove = opposite(pos.sideToMove);
    pos.state->materialFlags = pos.state->materialFlagsSaved;
}
