#include "shell/checkcommands.h"

#include <cinttypes>

#include "board/fen.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "movegen/perft.h"
#include "shell/movetext.h"
#include "shell/output.h"

// The position being counted, for the notation of its moves.
static const Position* countedPosition = nullptr;

static void printMoveCount(Move move, uint64_t count) {
    char text[8];
    printLine("%s: %" PRIu64 "\n", moveToText(move, text, *countedPosition), count);
}

bool perftCommand(Position& pos, int depth, const std::atomic<uint8_t>* stop) {
    countedPosition = &pos;
    const PerftTotals totals = perftDivide(pos, depth, stop, printMoveCount);
    if (totals.stopped)
        printLine("info string perft stopped, incomplete: %d of %d moves counted\n", totals.counted,
                  totals.legalMoves);
    printLine("\nNodes searched: %" PRIu64 "\n", totals.nodes);
    return !totals.stopped;
}

void evalCommand(Position& root) {
    const int stm = evaluateFully(root);
    printLine("info string eval white %d stm %d\n", root.sideToMove == White ? stm : -stm, stm);
}

void displayCommand(const Position& root) {
    static const char Rule[] = " +---+---+---+---+---+---+---+---+\n";
    printLine("\n%s", Rule);
    for (int rank = 7; rank >= 0; --rank) {
        char row[40], *p = row;
        for (int file = 0; file < 8; ++file) {
            const uint8_t code = root.board[makeSquare(file, rank)];
            p += snprintf(p, 5, " | %c", pieceLetter(code));
        }
        printLine("%s | %d\n%s", row, rank + 1, Rule);
    }
    printLine("   a   b   c   d   e   f   g   h\n\n");
    char fen[FenSize];
    writeFen(root, fen);
    printLine("Fen: %s\nKey: %016" PRIX64 "\n", fen, root.state->key);
}
