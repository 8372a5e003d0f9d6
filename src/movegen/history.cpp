#include "movegen/history.h"

uint16_t HistoryTable[16][64];

void resetHistory() {
    for (auto& row : HistoryTable)
        for (uint16_t& counter : row) counter = HistoryStartValue;
}
