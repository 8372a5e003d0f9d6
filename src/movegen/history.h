// The history table: a counter per piece code and to-square that orders quiet moves. All
// search threads update it without a lock.
#pragma once

#include <cstdint>

#include "core/relaxed.h"

extern Relaxed<uint16_t> HistoryTable[16][64];

constexpr uint16_t HistoryStartValue = 2048;

// Sets every counter to its start value.
void resetHistory();
