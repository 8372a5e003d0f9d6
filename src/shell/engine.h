// Process start-up, the new-game reset and shutdown.
#pragma once

struct Position;

// Start-up in its fixed order: banner, tables, threads, a new game. Benchmarks and tests
// that run whole searches use it too.
void startUp();

// Runs the engine: with the arguments "bench ..." the command-line benchmark, which ends
// the process with its status; otherwise (whatever the arguments) start-up in its fixed
// order, then the command loop for ever.
[[noreturn]] void engineMain(int argumentCount, const char* const* arguments);

// Resets the position to the initial chess position and clears the game's tables.
void newGame(Position& pos);

// Frees the hash tables once and ends the process with exit code 0.
[[noreturn]] void shutdown();
