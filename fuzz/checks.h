// The checks behind the fuzz targets in this folder, shared with the test that replays
// their seed corpora in the ordinary test run. Each check takes the raw bytes of one input
// and returns "" when everything holds, otherwise a description of the first fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Position;

// What is wrong with the position record, or "": the board holds only piece codes (bishops
// on squares of their colour, no pawn on the first or last rank); the bitboards and king
// squares agree with the board; keys, material signature and piece-square sum agree with a
// computation from scratch; one king a side; the side not to move is not in check; castling
// rights have their king and rook at home; an en-passant square lies behind a pawn that has
// just made its double step, with an enemy pawn ready to take it. The attack sets and
// checkers of the current record must match the board too (computeAttacks must have run).
std::string positionProblem(const Position& pos);

// fuzz_position: the bytes are the arguments of a "position" command. The position it sets
// up is either marked invalid or passes positionProblem; then the move generators must
// agree with a brute-force list of the legal moves, the move-text lookup must read every
// legal move back from its text, every legal move is made and taken back (the position
// after it passes positionProblem, the position is restored bit for bit), and perft 1 and 2
// must count the legal moves and the legal replies.
std::string checkPositionInput(const uint8_t* data, size_t size);

// fuzz_moves: the first byte picks a position from a fixed list, the rest is move text,
// split at blanks and line ends. A word the move-text lookup accepts must be a legal move;
// the position after it passes positionProblem; making and taking it back restores the
// position bit for bit; then it is made, as "position ... moves" makes it.
std::string checkMovesInput(const uint8_t* data, size_t size);

// fuzz_commands: the bytes are command lines for the engine's command executor in this
// process, with one search thread, a small hash and every "go" bounded (a node and depth
// limit added, "infinite" and "ponder" dropped, at most three searches an input). "quit",
// "bench" and a new hash size are skipped, and perft counts at most two plies. Every "go"
// must print exactly one "bestmove": a legal move of the position searched (one of the
// "searchmoves" when there are any) with a legal ponder move if any, or 0000 when there is
// nothing to play. No other command prints one. After each line the engine is idle, and
// the position, when valid, passes positionProblem.
// Every input starts from a new game. Needs POSIX descriptors: standard input is a silent
// pipe while the commands run.
std::string checkCommandsInput(const uint8_t* data, size_t size);
