// The run state that the command loop, the search driver, the search threads and the poll
// thread share. Each flag is one byte with a single writer at a time; other threads poll
// it without a lock.
#pragma once

#include <atomic>
#include <cstdint>

using Flag = std::atomic<uint8_t>;

// Command loop
extern Flag inputClosed;     // standard input reached its end
extern Flag newGamePending;  // "ucinewgame" arrived during a search

// Search state
extern Flag searchIdle;         // no search is in progress
extern Flag searching;          // a search runs: only the stop-group commands are honoured
extern Flag stopping;           // a stop is being carried out
extern Flag stopRequested;      // "stop" (or a limit) ended the search
extern Flag stopSearch;         // iterative deepening and workers leave the search
extern Flag driverWaiting;      // the driver waits for "stop" or "ponderhit"
extern Flag pollBusy;           // the poll thread is busy
extern Flag benchMode;          // benchmark running, output suppressed
extern Flag timerActive;        // the poll thread watches the running search
extern Flag timerAwake;         // the poll thread has started polling
extern Flag perftRunning;       // "perft" counts on the main thread while the poll thread reads input
extern Flag firstSearchOfGame;  // no search since the last new game
