// The only writer of standard output.
#pragma once

// Formats like printf and writes the text under the output lock, whole and in order.
void printLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
