// FEN: a position from its text description.
#pragma once

#include <cstdint>

#include "board/position.h"

extern const char StartFen[];

// Fills the position from the FEN at the start of text and returns the place after the
// last field it consumed. Any text is read without fault: a placement that is not eight
// ranks of eight squares, or a side to move other than "w" or "b", leaves a position that
// fails the validity checks. Missing fields take their defaults (White to move). Castling
// rights without their king and rook on their squares are dropped, and put in
// *ignoredCastling when given.
const char* parseFen(Position& pos, const char* text, uint8_t* ignoredCastling = nullptr);
