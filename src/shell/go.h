// The "go" command: the words that set the limits of a search, and the search they start.
#pragma once

struct Position;

// Reads the limits of a "go" line and turns the clock of the side to move into limits.
void parseGo(Position& root, const char* line);

// "go ...": parses the limits and runs the search; every "go" gets one "bestmove".
void goCommand(Position& root, const char* text);
