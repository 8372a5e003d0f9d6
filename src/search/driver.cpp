#include "search/driver.h"

#include "shell/flags.h"

void runSearch(Position&) {}

void haltSearch(int) {
    stopRequested = 1;
    pondering = 0;
    infinite = 0;
    stopping = 1;
    stopSearch = 1;
}
