// Command-line arguments. The engine normally takes none and speaks UCI on its standard
// input and output; "bench" runs the search benchmark instead, the way testing frameworks
// and match managers check a build.
#pragma once

// "bench [depth [threads [hash]]]": searches the benchmark positions to a fixed depth with
// every table cleared before each, prints a line per position and the totals, the last line
// "<nodes> nodes <nps> nps", and returns the exit status (0, or 2 for arguments it cannot
// read). With one thread the node total is the same on every run: a signature of the build.
int commandLineBench(int argumentCount, const char* const* arguments);

// Runs the engine: with the arguments "bench ..." the command-line benchmark, which ends
// the process with its status; otherwise (whatever the arguments) start-up in its fixed
// order, then the command loop for ever.
[[noreturn]] void engineMain(int argumentCount, const char* const* arguments);
