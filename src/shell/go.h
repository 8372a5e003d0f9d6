// The "go" command: search limits and the time allocation.
#pragma once

struct Position;

// "go ...": parses the limits and, on a valid position, runs the search.
void goCommand(Position& root, const char* text);

// "ponderhit": the ponder search becomes a timed search.
void ponderhit();
