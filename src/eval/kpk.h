// King and pawn against king: which positions the side with the pawn wins, built by
// retrograde analysis at start-up. Positions are normalised so that the pawn is White's
// and moves up the board; callers mirror a Black pawn (square ^ 56) together with both kings.
#pragma once

#include <cstdint>

#include "core/types.h"

// One byte per (strong king square, weak king square, pawn rank 2..7) holding one bit per
// pawn file, set when the side with the pawn wins. The first index selects the view:
// 0 with the defending side to move, 1 with the side with the pawn to move.
// Illegal positions (kings touching, a king on the pawn, the side not to move in check) are 0.
extern uint8_t KpkTable[2][64][64][6];

// Builds both views.
void initKpk();

// Whether the side with the pawn wins. The pawn must stand on ranks 2..7.
inline bool kpkWin(Square strongKing, Square weakKing, Square pawn, bool strongToMove) {
    const unsigned rankIndex = unsigned(rankOf(pawn) - 1);
    if (rankIndex >= 6) return false;
    return (KpkTable[strongToMove][strongKing][weakKing][rankIndex] >> fileOf(pawn)) & 1;
}
