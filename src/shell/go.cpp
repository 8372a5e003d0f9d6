#include "shell/go.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/position.h"
#include "search/driver.h"
#include "search/limits.h"
#include "shell/command.h"
#include "shell/movetext.h"
#include "shell/output.h"

// The longest mate "go mate" may ask for, in moves: far beyond any mate a search proves.
constexpr int MaxMateMoves = 500;
// "searchmoves" was given but named no legal move of the position.
static bool searchMovesUnplayable = false;

// Millisecond values beyond this (about 35 years) are taken as this, so that the
// microsecond arithmetic of the time allocation cannot overflow.
constexpr long long LargestMillis = 1LL << 40;

// Plain decimal conversion: leading blanks, optional sign, digits; anything else is 0.
static long long decimal(const char* text) {
    long long v = strtoll(text, nullptr, 10);
    if (v > LargestMillis) return LargestMillis;
    if (v < -LargestMillis) return -LargestMillis;
    return v;
}

static bool startsWithNumber(const char* text) {
    char* end = nullptr;
    strtoll(text, &end, 10);
    return end != text;
}

// The words of "go" that are followed by a number.
static bool takesValue(const char* word) {
    static const char* const Keywords[] = {"depth", "movetime", "wtime",     "btime", "winc",
                                           "binc",  "nodes",    "movestogo", "mate"};
    for (const char* keyword : Keywords)
        if (strcmp(word, keyword) == 0) return true;
    return false;
}

static bool goKeyword(const char* word) {
    return takesValue(word) || strcmp(word, "infinite") == 0 || strcmp(word, "ponder") == 0 ||
           strcmp(word, "searchmoves") == 0;
}

void parseGo(Position& root, const char* line) {
    clearLimits();
    bool searchMovesGiven = false, inSearchMoves = false;
    int64_t time[2] = {Never, Never};  // by side
    int64_t increment[2] = {0, 0};
    int64_t movesToGo = 0;

    // The whole command line: a limit after a kilobyte of other words still counts. Only one
    // thread at a time parses a "go".
    static char tokens[InputLineSize];
    strncpy(tokens, line, sizeof tokens - 1);
    tokens[sizeof tokens - 1] = 0;
    char* save = nullptr;
    strtok_r(tokens, " \t", &save);  // "go" itself
    char* next = strtok_r(nullptr, " \t", &save);
    for (char* word = next; word; word = next) {
        next = strtok_r(nullptr, " \t", &save);
        if (goKeyword(word)) inSearchMoves = false;
        if (strcmp(word, "infinite") == 0) {
            infinite = 1;
            continue;
        }
        if (strcmp(word, "ponder") == 0) {
            pondering = 1;
            continue;
        }
        if (strcmp(word, "searchmoves") == 0) {
            searchMovesGiven = inSearchMoves = true;
            continue;
        }
        if (inSearchMoves) {
            // The moves that follow "searchmoves" up to the next keyword; a word that is not a
            // legal move of the position is ignored, and so is a repeated move.
            const Move move = positionValid ? legalMoveFromText(root, word, strlen(word)) : NoMove;
            bool known = move == NoMove;
            for (int i = 0; i < searchMoveCount && !known; ++i) known = searchMoves[i] == move;
            if (!known && searchMoveCount < MaxMoves) searchMoves[searchMoveCount++] = move;
            continue;
        }
        if (!takesValue(word)) continue;
        // A keyword at the end of the line, or followed by another keyword, has no value and
        // is ignored; a value that is no number reads as 0, as it always did.
        if (!next || goKeyword(next)) {
            printLine("info string go %s has no value, ignored\n", word);
            continue;
        }
        const char* text = next;
        next = strtok_r(nullptr, " \t", &save);
        if (!startsWithNumber(text)) printLine("info string go %s value is not a number, read as 0\n", word);
        const long long v = decimal(text);
        if (strcmp(word, "depth") == 0) {
            depthLimit = v < 1 ? 1 : v > 255 ? 255 : int(v);
        } else if (strcmp(word, "movetime") == 0) {
            hardTimeLimit = (v < 2 ? 1 : v) * 1000;
        } else if (strcmp(word, "wtime") == 0) {
            time[White] = v * 1000;
        } else if (strcmp(word, "btime") == 0) {
            time[Black] = v * 1000;
        } else if (strcmp(word, "winc") == 0) {
            increment[White] = v * 1000;
        } else if (strcmp(word, "binc") == 0) {
            increment[Black] = v * 1000;
        } else if (strcmp(word, "nodes") == 0) {
            nodeLimit = v < 1 ? 1 : uint64_t(v);
        } else if (strcmp(word, "mate") == 0) {
            mateLimit = v < 1 ? 1 : v > MaxMateMoves ? MaxMateMoves : int(v);
        } else {
            movesToGo = v < 0 ? 0 : v;  // a negative count means nothing: taken as absent
        }
    }

    // "searchmoves" naming no legal move leaves nothing to search.
    searchMovesUnplayable = searchMovesGiven && searchMoveCount == 0;

    allocateTime(time[root.sideToMove], increment[root.sideToMove], movesToGo);
}

void goCommand(Position& root, const char* text) {
    parseGo(root, text);
    if (positionValid && !searchMovesUnplayable) {
        runSearch(root);
        return;
    }
    // GUIs wait for a "bestmove" after every "go", even on a position that cannot be searched
    // or with a list of moves to search that holds none of its moves.
    printLine("info string invalid position\n");
    printLine("bestmove 0000\n");
}
