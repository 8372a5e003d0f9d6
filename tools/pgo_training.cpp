// The workload that the profile-guided build trains the engine on: the search benchmark's
// positions searched on one thread and on two, and a few perfts for the move generators
// and make/unmake. It runs in-process, so the profile does not depend on input timing.
#include "board/fen.h"
#include "board/position.h"
#include "movegen/perft.h"
#include "shell/benchpositions.h"
#include "shell/engine.h"
#include "shell/options.h"

namespace {

struct PerftRun {
    const char* fen;
    int depth;
};

constexpr PerftRun PerftRuns[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 5},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 4},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 5},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 4},
};

}  // namespace

int main() {
    startUp();
    setOption("Hash value 16");
    setOption("Threads value 1");
    for (const char* fen : SearchBenchPositions) benchSearch(fen, 11);
    setOption("Threads value 2");
    for (const char* fen : SearchBenchPositions) benchSearch(fen, 9);
    for (const PerftRun& run : PerftRuns) {
        parseFen(rootPosition, run.fen);
        perft(rootPosition, run.depth);
    }
    shutdown();
}
