// Sizing of all hash tables together, driven by the Hash option.
#pragma once

#include <cstdint>

// The largest power of two not above `megabytes` (1..65536) for which the transposition
// table and the auxiliary tables sized with it take at most half of `physicalBytes`
// (no limit when physicalBytes is 0). Never below 1.
uint64_t hashMegabytesThatFit(uint64_t megabytes, uint64_t physicalBytes);

// Re-creates the tables from the Hash option: resets the generation, takes the option
// down to a power of two (and further when memory does not allow it), allocates and
// clears the transposition table, stores the size in use back into the option, sizes the
// pawn table from it and re-creates the PV and evaluation tables at their current sizes.
// Returns true when memory allowed less than the largest power of two within the option.
bool resizeHashTables();

// True from resizeHashTables until something may have written to the tables (a search or
// the eval command). The new tables are zero, which is the cleared state, so a new game
// started before then need not write gigabytes of zeros again.
extern bool hashTablesFresh;
