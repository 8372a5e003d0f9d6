#include "movegen/gaintable.h"

#include <cstring>

int16_t PositionalGainTable[16][4096];

void clearPositionalGains() { std::memset(PositionalGainTable, 0, sizeof PositionalGainTable); }
