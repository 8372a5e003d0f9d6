#include "board/position.h"

#include <cstdlib>
#include <cstring>

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/pst.h"
#include "board/zobrist.h"
#include "platform/platform.h"

Position rootPosition;
Flag positionValid;

std::atomic<uint64_t> nodeLimit{NoNodeLimit};
static void ignoreNodeLimit() {}
void (*nodeLimitReached)() = ignoreNodeLimit;

const uint32_t MaterialIncrement[16] = {
    0, 0x144000, 0x24001, 0, 0x2401, 0x4801,  0x403, 0x106,
    0, 0xB64000, 0x6C001, 0, 0x9001, 0x12001, 0xC03, 0x206,
};

void initPosition(Position& pos) {
    StateRecord* stack = pos.stateBase;
    if (!stack) {
        const size_t bytes = size_t(StateStackSize) * sizeof(StateRecord);
        stack = static_cast<StateRecord*>(allocateLarge(bytes, 64));
    }
    std::memset(&pos, 0, sizeof pos);
    std::memset(stack, 0, size_t(StateStackSize) * sizeof(StateRecord));
    pos.stateBase = stack;
    pos.state = stack + 1;
    setStandardCastling(pos.castle);
}

void releasePosition(Position& pos) {
    freeLarge(pos.stateBase);
    pos.stateBase = pos.state = nullptr;
}

namespace {

// More than one queen, more than two rooks or knights, more than one bishop of a square
// colour, or more than eight pawns: the material index cannot describe such a side.
bool irregularSide(const Position& pos, Side side) {
    return popCount(pos.pieces[pieceFor(side, Queen)]) > 1 ||
           popCount(pos.pieces[pieceFor(side, Rook)]) > 2 ||
           popCount(pos.pieces[pieceFor(side, Knight)]) > 2 ||
           popCount(pos.pieces[pieceFor(side, LightBishop)]) > 1 ||
           popCount(pos.pieces[pieceFor(side, DarkBishop)]) > 1 ||
           popCount(pos.pieces[pieceFor(side, Pawn)]) > 8;
}

}  // namespace

DerivedFields computeDerivedFields(const Position& pos) {
    DerivedFields d{};
    for (Square s = 0; s < 64; ++s) {
        const uint8_t code = pos.board[s];
        if (code == NoPiece) continue;
        d.psqScore += PST[code][s];
        d.key ^= psqKey[code][s];
        if (kindOf(code) == Pawn) d.pawnKey ^= psqKey[code][s];
        d.materialInfo += MaterialIncrement[code];
    }
    if (irregularSide(pos, White) || irregularSide(pos, Black)) d.materialInfo |= IrregularMaterial;
    const StateRecord& st = *pos.state;
    d.key ^= castleKey[st.castling & 15];
    if (st.epSquare) d.key ^= epKey[fileOf(st.epSquare)];
    if (pos.sideToMove == White) d.key ^= SideKey;
    d.pawnKey ^= psqKey[WhiteKing][pos.whiteKingSquare] ^ psqKey[BlackKing][pos.blackKingSquare] ^
                 castleKey[st.castling & 15] ^ PawnKeyConstant;
    return d;
}

void setUpFromBoard(Position& pos) {
    for (Bitboard& b : pos.pieces) b = 0;
    for (Square s = 0; s < 64; ++s)
        if (pos.board[s] != NoPiece) pos.pieces[pos.board[s]] |= SquareBB[s];
    for (uint8_t code = WhitePawn; code <= WhiteQueen; ++code) {
        pos.pieces[WhiteMen] |= pos.pieces[code];
        pos.pieces[BlackMen] |= pos.pieces[code + 8];
    }
    pos.pieces[AllMen] = pos.pieces[WhiteMen] | pos.pieces[BlackMen];
    // A missing king gets square a1 so that every table lookup stays in range; such a
    // position fails the validity checks and is never searched.
    pos.whiteKingSquare = pos.pieces[WhiteKing] ? uint8_t(lowestSquare(pos.pieces[WhiteKing])) : 0;
    pos.blackKingSquare = pos.pieces[BlackKing] ? uint8_t(lowestSquare(pos.pieces[BlackKing])) : 0;

    const DerivedFields d = computeDerivedFields(pos);
    StateRecord& st = *pos.state;
    st.key = d.key;
    st.pawnKey = d.pawnKey;
    st.materialInfo = d.materialInfo;
    st.psqScore = d.psqScore;

    computeAttacks(pos);
    positionValid = positionIsValid(pos) ? 1 : 0;
}

bool positionIsValid(const Position& pos) {
    if (pos.fenMalformed) return false;
    if (popCount(pos.pieces[WhiteKing]) != 1 || popCount(pos.pieces[BlackKing]) != 1) return false;
    if ((pos.pieces[WhitePawn] | pos.pieces[BlackPawn]) & (RankMask[0] | RankMask[7])) return false;
    for (Side side : {White, Black}) {
        const Bitboard bishops =
            pos.pieces[pieceFor(side, LightBishop)] | pos.pieces[pieceFor(side, DarkBishop)];
        if (popCount(pos.pieces[pieceFor(side, Pawn)]) > 8 ||
            popCount(pos.pieces[pieceFor(side, Queen)]) > 9 ||
            popCount(pos.pieces[pieceFor(side, Rook)]) > 10 ||
            popCount(pos.pieces[pieceFor(side, Knight)]) > 10 || popCount(bishops) > 10 ||
            popCount(pos.pieces[pieceFor(side, LightBishop)]) > 9 ||
            popCount(pos.pieces[pieceFor(side, DarkBishop)]) > 9 || popCount(pos.pieces[menOf(side)]) > 16)
            return false;
    }
    const uint8_t castling = pos.state->castling;
    if (castling & ~15) return false;
    const CastlingRules& rules = pos.castle;
    if ((castling & (WhiteShort | WhiteLong)) && pos.board[rules.king[White]] != WhiteKing) return false;
    if ((castling & (BlackShort | BlackLong)) && pos.board[rules.king[Black]] != BlackKing) return false;
    for (int i = 0; i < 4; ++i)
        if ((castling & castlingRight(i)) && pos.board[rules.rook[i]] != pieceFor(castlingSide(i), Rook))
            return false;
    const Side waiting = opposite(pos.sideToMove);
    const Square waitingKing = lowestSquare(pos.pieces[pieceFor(waiting, King)]);
    return attackersOf(pos, waitingKing, pos.sideToMove) == 0;
}
