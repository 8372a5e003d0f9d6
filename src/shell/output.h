// The only writer of standard output.
#pragma once

#include <cstddef>

// Formats like printf and writes the text under the output lock, whole and in order.
void printLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where the text of printLine goes instead of standard output, for the tests and fuzzers
// that check what the engine prints in their own process. Called under the output lock.
using OutputSink = void (*)(const char* text, size_t length);
// Sets the sink (nullptr: standard output again) and returns the one it replaces.
OutputSink setOutputSink(OutputSink sink);
