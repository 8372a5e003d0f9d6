// Zobrist keys: one random key per piece code and square, per set of castling rights and
// per en-passant file, drawn from the engine's own generator.
#pragma once

#include <cstdint>

extern uint64_t psqKey[16][64];
extern uint64_t castleKey[16];
extern uint64_t epKey[8];

// Part of the key when White is to move.
constexpr uint64_t SideKey = 0x1220AB8C00000004ull;
// Mixed into every pawn key.
constexpr uint64_t PawnKeyConstant = 0x74D3C012A8BF965Eull;

// The generator's state. It is never reset, so each refill of the tables draws fresh keys.
extern uint64_t randomState;

uint64_t nextRandom();
// Fills the key tables (start-up, and again when the hash size changes).
void zobristInit();
// How many times the key tables have been filled: a position set up before the last fill
// holds keys of the old tables and must be set up again.
extern uint32_t zobristFills;
