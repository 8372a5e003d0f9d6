#include "movegen/history.h"

Relaxed<uint16_t> HistoryTable[16][64];

void resetHistory() {
    for (auto& row : HistoryTable)
        for (Relaxed<uint16_t>& counter : row) counter = HistoryStartValue;
}
