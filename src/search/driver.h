// The search driver: turns one "go" into one search and reports its result.
#pragma once

struct Position;

// Runs one search on the root position; returns after the "bestmove" line.
void runSearch(Position& root);

// Raises the stop flags; with wait 0, also waits until the search has ended.
void haltSearch(int wait);
