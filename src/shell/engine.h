// Process start-up, the new-game reset and shutdown.
#pragma once

struct Position;

// Runs the engine: start-up in its fixed order, then the command loop for ever.
[[noreturn]] void engineMain();
