// What the search reports, as UCI text: "info" lines and "bestmove".
#pragma once

// Sets the search's reports and its command reader to the shell's (at start-up).
void connectShell();

// The score as UCI text ("cp 23", "mate 3", "mate -1"); out holds at least 32 characters.
void scoreText(int score, char* out);
// " upperbound" when the score is at most alpha, " lowerbound" when at least beta, else "".
const char* boundText(int alpha, int score, int beta);
