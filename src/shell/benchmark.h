// The built-in speed test: 64 fixed positions searched twice.
#pragma once

struct Position;

// Searches every benchmark position twice with the given go command text, prints the
// node and time totals and writes them to "benchmark_<time>.txt" in the current folder.
void runBenchmark(Position& root, const char* goText);
