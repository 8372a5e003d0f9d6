// Interim piece terms: only the attack maps and check information; the full piece
// evaluation replaces this file.
#include "board/position.h"
#include "eval/evalterms.h"
#include "movegen/attacks.h"

Score evaluatePieces(Position& pos, const PawnHashEntry&) {
    computeAttacks(pos);
    pos.state->whiteKingDanger = 0;
    pos.state->blackKingDanger = 0;
    return 0;
}
