// Move generators. Each writes 32-bit list entries (move in bits 0-14, check hint in bit
// 15, ordering key in bits 16-31), terminates the list with 0 and returns the place of
// the terminator, so lists can be appended. All moves are pseudo-legal.
#pragma once

#include "board/position.h"
#include "core/types.h"

// Ordering value of a capture by piece code of mover and victim (column 0: no victim).
extern uint32_t CaptureOrder[16][16];
void initCaptureOrder();

// Captures of men on targets (enemy men only), en-passant captures, queen promotions and
// knight promotions that give check.
template <Side Us>
MoveEntry* generateCaptures(const Position& pos, MoveEntry* out, Bitboard targets);
// Castling, quiet moves of all men and the promotions generateCaptures leaves out.
template <Side Us>
MoveEntry* generateQuiets(const Position& pos, MoveEntry* out);
// Moves out of check; targets restricts the destinations (all ones for no restriction).
template <Side Us>
MoveEntry* generateEvasions(const Position& pos, MoveEntry* out, Bitboard targets);
// Quiet moves giving check directly or by discovery, not landing on exclude.
template <Side Us>
MoveEntry* generateQuietChecks(const Position& pos, MoveEntry* out, Bitboard exclude);
// Quiet moves whose positional gain is at least threshold, sorted by gain.
template <Side Us>
MoveEntry* generateGainMoves(const Position& pos, MoveEntry* out, int threshold);

// Side-generic versions for the command layer. generateCapturesAny limits targets to the
// enemy men itself.
MoveEntry* generateCapturesAny(const Position& pos, MoveEntry* out, Bitboard targets);
MoveEntry* generateQuietsAny(const Position& pos, MoveEntry* out);
MoveEntry* generateEvasionsAny(const Position& pos, MoveEntry* out, Bitboard targets);
