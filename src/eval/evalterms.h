// The terms of the full evaluation: pawn structure, passed pawns, pieces and king safety.
#pragma once

#include "core/types.h"
#include "hash/pawnhash.h"

struct Position;

// Pawn structure: fills entry for the current pawns, kings and castling rights (lock equal
// to pawnKey) and stores it, folded, in the pawn hash.
void evaluatePawns(Position& pos, PawnHashEntry& entry);

// The shelter penalty of a king of colour Us standing on square k (larger is worse).
template <Side Us>
int kingShelter(const Position& pos, Square k);

// Fills the king-shelter records (start-up).
void initKingShelter();

// Builds the evaluation masks (part of the table chain of the Hash operation).
void initEvalMasks();

// Pieces, mobility, threats and king safety, in their fixed order, with the mobility sum
// already scaled. Also fills the attack maps, checkers, x-ray blockers, pinners and king
// dangers of the current state record. Returns the sum to add to the accumulator.
Score evaluatePieces(Position& pos, const PawnHashEntry& entry);

// The passed-pawn terms that need the pieces and the attack maps (after evaluatePieces).
Score evaluatePassedPawns(const Position& pos, const PawnHashEntry& entry);
