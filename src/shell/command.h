// The UCI command loop: reading command lines and carrying them out.
#pragma once

#include <cstddef>

#include "core/flags.h"

struct Position;

// Size of the command-line buffer. A line keeps at most InputLineSize - 2 characters;
// the rest of a longer line is dropped.
constexpr size_t InputLineSize = 65536;

extern Flag quitRequested;  // another thread received "quit"

// Reads one line from standard input and executes it. At the end of the input the
// engine behaves as on "quit" (a running search is allowed to finish first).
void readCommand(Position& root);

// Executes one command text (also used for the "stop" and "quit" the engine issues itself).
void executeCommand(Position& root, const char* text);

// Reads one line into buffer (capacity InputLineSize): returns false at the end of the
// input when nothing was read. Carriage returns before the line feed are removed. With
// cut given, *cut tells whether characters beyond the buffer were dropped.
bool readInputLine(char* buffer, bool* cut = nullptr);
