// Chess960 and double Chess960 positions with their leaf counts, made by
// "node tools/chess960/positions.mjs --oracle /usr/games/stockfish --count 44 --depth 4 --seed 960":
// the counts are Stockfish's, in its Chess960 mode. Every other position is double Chess960, every
// third has its castling field in Shredder-FEN (the others in X-FEN), and every fourth starts from
// back ranks cleared of all but the kings and rooks, so that castling is near.
#pragma once

#include <cstdint>

struct Chess960Perft {
    const char* fen;
    int depth;
    uint64_t nodes;
};

inline constexpr Chess960Perft Chess960PerftPositions[] = {
    {"1n2nkrq/pbbppppp/2r5/1pp1P3/P1P5/8/1P1P1PPP/BNRBNRKQ w g - 1 6", 4, 804272},
    {"1rbkrqnb/1pp2pp1/1p1pp2p/8/2P4P/8/1P1PPPP1/RNBNKRQB w KQkq - 0 6", 4, 237882},
    {"nbqrbknr/1pp1pp1p/p5p1/3p4/5P2/1P1P3N/P1P1P1PP/NBQRBK1R b KQkq - 0 4", 4, 763844},
    {"2r3kr/pppppppp/8/8/8/8/PPPPPPPP/2KR3R w h - 2 2", 4, 271140},
    {"rkbbrn2/p1pppp1p/1p3q1n/6p1/2P2P2/4P2N/PP1P2PP/RKBBRN1Q w KQkq - 0 5", 4, 627403},
    {"nrbnqkrb/pppppppp/8/8/8/8/PPPPPPPP/NRKRBQNB w KQkq - 0 1", 4, 180423},
    {"bbnrqnkr/p1p1pppp/1p1p4/8/1Q6/3P4/PPP1PPPP/BBNR1NKR w HDhd - 0 3", 4, 1045032},
    {"r4kr1/pppppppp/8/8/8/8/PPPPPPPP/2R2KR1 w KQkq - 0 1", 4, 318334},
    {"nnrqbbkr/1ppp1p1p/p5p1/1Q2p3/2P5/2RP4/PP2PPPP/NN2BBKR w Kkq - 2 6", 4, 900139},
    {"rqnkn1bb/1ppp2pp/p4r2/2N1pp2/4PP2/8/PPPP2PP/RBKN1QBR w HAa - 1 5", 4, 1299477},
    {"rn1kbrqb/n1pppppp/p7/1p6/7P/1N1P4/PPP1PPP1/RNK1BRQB w kq - 0 5", 4, 254481},
    {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/RK3R2 w KQkq - 0 1", 4, 341319},
    {"rnqkbbnr/pppppp1p/6p1/8/7P/N7/PPPPPPP1/R1QKBBNR b HAha - 0 2", 4, 258957},
    {"rnb1qr1b/pppk1ppp/4p2n/3p4/4PPPB/8/PPPP3P/QBRK1RNN w KQ - 2 5", 4, 560451},
    {"1qrnknrb/1b1p1ppp/2p5/pp2p3/4P3/3PN3/PPPR1PPP/BQK2NRB b kq - 1 6", 4, 276335},
    {"rkr5/pppppppp/8/8/3P4/8/PPP1PPPP/3R1K1R b HDca - 0 1", 4, 316304},
    {"qrbnkbrn/1ppppppp/p7/8/3P3P/8/PPP1PPP1/QRBNKBRN b KQkq - 0 2", 4, 227605},
    {"brkbnnqr/pppp1ppp/4p3/8/8/P7/1PPPPPPP/NQBRKBRN w KQkq - 0 2", 4, 194097},
    {"r2n1bbr/pkp1pppp/1p1nq3/3p4/1NP5/1P6/P1KPPPPP/R1QN1BBR b - - 0 6", 4, 944525},
    {"rkr5/pppppppp/8/8/8/8/PPPPPPPP/2RK3R w KQkq - 0 1", 4, 275395},
    {"nnbqrbkr/pppppppp/8/8/8/8/PPPPPPPP/NNBQRBKR w KQkq - 0 1", 4, 162755},
    {"bnrk2qr/2pppp1p/p4nNb/1p4B1/3P4/4P3/PPP2PPP/RN1B1KQR b HAhc - 3 6", 4, 889929},
    {"rkb1nnrq/1pbpp1pp/5p2/p1p5/4P1B1/1P6/P1PP1PPP/RKB1NNRQ b KQkq - 1 5", 4, 540157},
    {"r4kr1/pppppppp/8/8/1P6/8/P1PPPPPP/2R3KR b KQkq - 0 1", 4, 295637},
    {"bbrkrnnq/pppppppp/8/8/8/8/PPPPPPPP/BBRKRNNQ w ECec - 0 1", 4, 232847},
    {"bnrkqbrn/pp1pppp1/2p4p/8/6PP/8/PPPPPP2/RNKRQNBB w KQkq - 0 3", 4, 258529},
    {"rbn1bkqr/p1pp1ppp/1p2p3/n7/P3B2P/2P1P3/1P1P1PP1/R1NNBKQR b KQkq - 0 5", 4, 428230},
    {"rkr5/pppppppp/8/8/8/8/PPPPPPPP/R3KR2 w FAca - 0 1", 4, 275395},
    {"bnrbkqrn/1ppppp2/8/p5pp/P7/1P4NP/2PPPPP1/BNRBKQR1 b KQkq - 1 4", 4, 250876},
    {"b1r1kr1n/pp1ppppp/2pb4/q7/1PP3n1/3N4/P2PPP1P/NQ1RBBKR w KQkq - 3 6", 4, 1456078},
    {"rqnkbbr1/1ppppppp/p5n1/8/P7/1P6/2PPPPPP/RQNKBBRN w GAga - 0 3", 4, 279626},
    {"1r2k1r1/ppppppp1/7p/8/8/3P4/PPP1PPPP/R3K1R1 w KQkq - 0 2", 4, 342995},
    {"rkqnbrnb/pppp1pp1/4p2p/8/P7/5P2/1PPPP1PP/RKQNBRNB w KQkq - 0 3", 4, 219469},
    {"nrqkbbrn/ppp1pppp/8/3p4/8/2P1P3/PP1P1PPP/BRNKRQNB b EBgb - 0 2", 4, 552493},
    {"rknrn2b/ppppp1qp/5p2/6p1/PP6/3P4/R1P1PPPP/1KNRNQBB b Kkq - 0 5", 4, 256137},
    {"1r2k1r1/pppppp1p/8/6p1/8/8/PPPPPPPP/R3K1R1 w kq - 0 2", 4, 342896},
    {"qrnnbbkr/pp1ppppp/8/2p5/8/3NN3/PPPPPPPP/QR2BBKR b HBhb - 1 2", 4, 250617},
    {"nqnbrkbr/pppppppp/8/8/8/8/PPPPPPPP/BBQRNNKR w KQkq - 0 1", 4, 182385},
    {"brknnqrb/pppppp2/6p1/5P2/4B1Pp/7Q/PPPPP2P/BRKNN1R1 w KQq - 0 6", 4, 1026494},
    {"4r1kr/pppppppp/8/8/8/8/PPPPPPPP/1RK3R1 w GBhe - 0 1", 4, 314955},
    {"rn1bbrkn/ppqpppp1/2p5/7p/4P1B1/2N5/PPPP1PPP/R1Q1BKRN w KQ - 2 5", 4, 687183},
    {"qrn1kbbr/1ppppp1p/4n3/p5p1/1P2P3/2PB4/P2P1PPP/R1NKBNRQ b KQkq - 0 5", 4, 459187},
    {"nrnbkqbr/p1pppp1p/1p6/2P3p1/8/8/PP1PPPPP/NRNBKQBR w HBhb - 0 3", 4, 214042},
    {"r2k2r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K2R w KQkq - 0 1", 4, 368696},
};
