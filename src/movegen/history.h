// The history table: a counter per piece code and to-square that orders quiet moves.
#pragma once

#include <cstdint>

extern uint16_t HistoryTable[16][64];

constexpr uint16_t HistoryStartValue = 2048;

// Sets every counter to its start value.
void resetHistory();
