#include "movegen/gaintable.h"

#include <cstring>

Relaxed<int16_t> PositionalGainTable[16][4096];

// Between searches only: no other thread uses the table now.
void clearPositionalGains() {
    std::memset(static_cast<void*>(PositionalGainTable), 0, sizeof PositionalGainTable);
}
