// The split offer of the node searches. No worker threads exist yet: no thread is ever
// idle, and an offer never takes place.
#include "search/search.h"

uint64_t idleMask = 0;

bool split(Position&, MovePicker&, int, int, int, SplitKind, int&) { return false; }
