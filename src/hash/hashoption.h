// The "Hash" operation: the single entry point for table memory.
#pragma once

// Sizes and clears the transposition table and the auxiliary tables by the "Hash"
// option, rebuilds the process-wide tables and prints an empty line.
void Hash();
