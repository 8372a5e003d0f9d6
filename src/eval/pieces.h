// Working values of the piece terms and the small term helpers that the piece loop uses.
// evaluatePieces itself is declared with the other evaluation terms in evalterms.h.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "core/types.h"
#include "hash/pawnhash.h"

// Per-evaluation working values, indexed by side.
struct PieceWork {
    Bitboard pawnAttacks[2];  // squares the side's pawns attack
    Bitboard attacks[2];      // everything the side attacks, filled as the loop goes
    Bitboard checkers[2];     // the side's men giving check
    Bitboard blockers[2];     // lone men between the side's sliders and the enemy king
    Bitboard targets[2];      // [s]: men of s that no pawn of s defends, and the king zone of s
    uint32_t kingAttack[2];   // [s]: s's attack on the enemy king zone, count << 16 | weight
    int threats[2];           // [s]: events in which a man of s is threatened
    Score mobility;           // the mobility sum, White's view, not yet weighted
};

// The set-up step: pawn attacks, the attack maps and checker sets started with the pawns,
// the blocked-pawn terms of the mobility sum and the king-attack accumulators.
void setUpPieceWork(const Position& pos, PieceWork& w);

// King danger from an attack accumulator (count << 16 | weight) and a shelter value: the
// count is clamped at 15 before the multiplier is read. Middlegame units, scaled by
// KingSafetyWeight.
int kingDanger(uint32_t attack, int shelter);

// The danger to side Us's king: kingDanger of the opponent's accumulator and Us's shelter,
// scaled by the opponent's rooks and minors over 8 when the opponent has no queen.
template <Side Us>
int kingDangerOf(const Position& pos, const PawnHashEntry& entry, const PieceWork& w);

// File terms of a rook of Us on s with attack set x (open, half-open and blocked files and
// the enemy king on the file).
template <Side Us>
Score rookFileScore(const Position& pos, const PieceWork& w, Square s, Bitboard x);

// Outpost terms of a knight of Us on s with attack set x.
template <Side Us>
Score knightOutpostScore(const Position& pos, const PieceWork& w, Square s, Bitboard x);

// The trapped-bishop penalty of a bishop of Us on s, from Us's view (zero or negative).
template <Side Us>
Score bishopTrapScore(const Position& pos, Square s);

// The penalty for Us's rook shut in beside its own king behind an own pawn, from Us's view.
template <Side Us>
Score trappedRookScore(const Position& pos);
