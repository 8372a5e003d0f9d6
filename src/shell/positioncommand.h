// The "position" command: a FEN or the start position, and the moves played from it.
#pragma once

#include <cstdint>

#include "board/fen.h"
#include "board/position.h"
#include "core/types.h"

// Highest state-record index a move list may reach: the search needs the records above it.
constexpr int MoveListStateLimit = StateStackSize - MaxPly - 64;
// Records kept when a long move list is folded back to the start of the stack: the current
// one and the 127 before it, more than the repetition window of the search needs.
constexpr int FoldKeep = 128;

// The longest move text kept for a word to the user.
constexpr int MoveWordSize = 33;

// What a set-up leaves to tell the user.
struct PositionSetUp {
    char ignoredCastling[IgnoredCastlingSize];  // castling letters of the FEN that gave no right
    char illegalMove[MoveWordSize];             // the move text that ended the list, "" for none
};

// The arguments of "position": "startpos" or "fen <FEN>", optionally followed by "moves ...".
// The castling field is read for Chess960 when the UCI_Chess960 option is on.
PositionSetUp positionCommand(Position& pos, const char* text);
// Makes the moves of a whitespace-separated list of move texts, in the notation of the
// UCI_Chess960 option. A word that is no legal move ends the list: the position stays as it
// was before that word, and the word (its first MoveWordSize - 1 characters) goes to
// illegalMove when given.
void applyMoveList(Position& pos, const char* text, char* illegalMove = nullptr);
