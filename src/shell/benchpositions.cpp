#include "shell/benchpositions.h"

#include <chrono>
#include <cstdio>

#include "board/position.h"
#include "core/flags.h"
#include "search/driver.h"
#include "shell/engine.h"
#include "shell/go.h"
#include "shell/positioncommand.h"
#include "smp/threads.h"

const char* const SearchBenchPositions[SearchBenchPositionCount] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bn1rk1/ppp1qppp/3pp3/3P4/2P1n3/2B2NP1/PP2PPBP/2RQK2R w K - 0 1",
    "r2q1rk1/1bppbppp/p4n2/n2Np3/Pp2P3/1B1P1N2/1PP2PPP/R1BQ1RK1 w - - 0 1",
    "rnb2rk1/1pq1bppp/p3pn2/3p4/3NPP2/2N1B3/PPP1B1PP/R3QRK1 w - - 0 1",
    "2rq1rk1/p3bppp/bpn1pn2/2pp4/3P4/1P2PNP1/PBPN1PBP/R2QR1K1 w - - 0 1",
    "r1bq1rk1/3nbppp/p1p1pn2/1p4B1/3P4/2NBPN2/PP3PPP/2RQK2R w K - 0 1",
    "r1b1k2r/pp1nqp1p/2p3p1/3p3n/3P4/2NBP3/PPQ2PPP/2KR2NR w kq - 0 1",
    "r2q1rk1/pp2ppbp/2n1bnp1/3p4/4PPP1/1NN1B3/PPP1B2P/R2QK2R w KQ - 0 1",
    "r1bq1rk1/bpp2ppp/p2p1nn1/4p3/4P3/1BPP1NN1/PP3PPP/R1BQ1RK1 w - - 0 1",
    "r2q1rk1/p1p2ppp/2p1pb2/3n1b2/3P4/P4N1P/1PP2PP1/RNBQ1RK1 w - - 0 1",
    "r3kbnr/1bqp1ppp/p3p3/1p2P3/5P2/2N2B2/PPP3PP/R1BQK2R w KQkq - 0 1",
    "r1bq1rk1/pp1n1ppp/4p3/2bpP3/3n1P2/2N1B3/PPPQ2PP/2KR1B1R w - - 0 1",
    "2q1r1k1/1ppb4/r2p1Pp1/p4n1p/2P1n3/5NPP/PP3Q1K/2BRRB2 w - - 0 1",
    "7r/1p2k3/2bpp3/p3np2/P1PR4/2N2PP1/1P4K1/3B4 b - - 0 1",
    "4k3/p1P3p1/2q1np1p/3N4/8/1Q3PP1/6KP/8 w - - 0 1",
    "2r1b1k1/R4pp1/4pb1p/1pBr4/1Pq2P2/3N4/2PQ2PP/5RK1 b - - 0 1",
    "6k1/p1qb1p1p/1p3np1/2b2p2/2B5/2P3N1/PP2QPPP/4N1K1 b - - 0 1",
    "3q4/pp3pkp/5npN/2bpr1B1/4r3/2P2Q2/PP3PPP/R4RK1 w - - 0 1",
    "r1b1r1k1/p1p3pp/2p2n2/2bp4/5P2/3BBQPq/PPPK3P/R4N1R b - - 0 1",
    "2r4k/pB4bp/6p1/6q1/1P1n4/2N5/P4PPP/2R1Q1K1 b - - 0 1",
    "5rk1/7p/p1N5/3pNp2/2bPnqpQ/P7/1P3PPP/4R1K1 w - - 0 1",
    "r3kb1r/pp2pppp/3q4/3Pn3/6b1/2N1BN2/PP3PPP/R2QKB1R w KQkq - 0 1",
    "r1b1k3/5p1p/p1p5/3np3/1b2N3/4B3/PPP1BPrP/2KR3R w q - 0 1",
    "1N2k3/5p2/p2P2p1/3Pp3/pP3b2/5P1r/P7/1K4R1 b - - 0 1",
    "2k5/1pp5/2pb2p1/7p/6n1/P5N1/1PP3PP/2K1B3 b - - 0 1",
    "8/1p3pkp/p1r3p1/3P3n/3p1P2/3P4/PP3KP1/R3N3 b - - 0 1",
    "8/4p1kp/1n1p2p1/nPp5/b5P1/P5KP/3N1P2/4NB2 w - - 0 1",
    "1r6/5ppk/R6p/P3p3/1Pn5/6P1/2p2P1P/2B4K w - - 0 1",
    "3k4/2p3pp/3p1b2/3P3P/b7/P3BB2/1P3P2/2K5 w - - 0 1",
    "6k1/p7/6pp/1p1Pp3/2n1P1Pb/6NP/P4KP1/B7 w - - 0 1",
};

BenchSearch benchSearchRoot(int depth) {
    char go[32];
    snprintf(go, sizeof go, "go depth %d", depth);
    parseGo(rootPosition, go);
    benchMode = 1;
    const auto start = std::chrono::steady_clock::now();
    runSearch(rootPosition);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    benchMode = 0;
    return {totalNodes(), seconds};
}

BenchSearch benchSearch(const char* fen, int depth) {
    newGame(rootPosition);
    char command[160];
    snprintf(command, sizeof command, "fen %s", fen);
    positionCommand(rootPosition, command);
    return benchSearchRoot(depth);
}
