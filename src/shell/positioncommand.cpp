#include "shell/positioncommand.h"

#include <algorithm>
#include <cstring>

#include "board/attackmap.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "core/flags.h"
#include "core/params.h"
#include "core/words.h"
#include "movegen/gaintable.h"
#include "shell/movetext.h"

namespace {

// A long move list would run the state stack into the room the search needs: move the
// records since the last irreversible moves down to the start of the stack.
void foldStateStack(Position& pos) {
    if (pos.state - pos.stateBase < MoveListStateLimit) return;
    std::memmove(static_cast<void*>(pos.stateBase), pos.state - (FoldKeep - 1),
                 FoldKeep * sizeof(StateRecord));
    pos.state = pos.stateBase + (FoldKeep - 1);
}

}  // namespace

PositionSetUp positionCommand(Position& pos, const char* text) {
    const char* const movesKeyword = std::strstr(text, "moves");
    const char* p = skipSpaces(text);
    const char* const firstEnd = wordEnd(p);
    PositionSetUp result{};
    if (wordIs(p, firstEnd, "startpos")) {
        parseFen(pos, StartFen);
        p = firstEnd;
    } else if (wordIs(p, firstEnd, "fen")) {
        p = parseFen(pos, firstEnd, result.ignoredCastling, optionChess960 != 0);
    }
    pos.historyLength = 0;

    if (movesKeyword) {
        p = skipSpaces(p);
        const char* list = wordIs(p, wordEnd(p), "moves") ? p + 5 : movesKeyword + 5;
        // Moves are only made on a position that passed the checks: a broken board could
        // hold men the generators and make are not built for.
        if (positionIsValid(pos)) applyMoveList(pos, skipSpaces(list), result.illegalMove);
    }
    pos.ply = 0;
    if (firstSearchOfGame) clearPositionalGains();
    computeAttacks(pos);
    positionValid = positionIsValid(pos) ? 1 : 0;
    return result;
}

void applyMoveList(Position& pos, const char* text, char* illegalMove) {
    for (const char* p = skipSpaces(text); *p; p = skipSpaces(p)) {
        const char* const end = wordEnd(p);
        const char* const word = p;
        p = end;

        foldStateStack(pos);
        const Move move = legalMoveFromText(pos, word, size_t(end - word));
        if (!move) {
            // The moves after it were played from a position this one did not reach: making
            // them here would give a game that never happened.
            if (illegalMove) {
                const size_t length = std::min(size_t(end - word), size_t(MoveWordSize - 1));
                std::memcpy(illegalMove, word, length);
                illegalMove[length] = 0;
            }
            return;
        }
        if (pos.sideToMove == Black && pos.moveNumber < 9999) ++pos.moveNumber;
        makeMoveAny(pos, move);
        computeAttacks(pos);
        pos.historyLength = 0;
        // A promotion beyond the piece limits ends the list: later moves are not made on
        // a position that fails the checks.
        if (!positionIsValid(pos)) return;
    }
}
