// Process start-up and shutdown.
#pragma once

// Start-up in its fixed order: banner, tables, threads, a new game. Benchmarks and tests
// that run whole searches use it too.
void startUp();

// Frees the hash tables once and ends the process with exit code 0.
[[noreturn]] void shutdown();
