// The "Hash" operation: the single entry point for table memory.
#pragma once

// Sizes the tables by the "Hash" option and tells the user when memory allowed less than
// the option asked for.
void sizeTablesByHashOption();

// Sizes and clears the transposition table and the auxiliary tables by the "Hash"
// option (sizeTablesByHashOption), rebuilds the process-wide tables and prints an empty line.
void Hash();
