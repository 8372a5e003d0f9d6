// Shared set-up for the board and move-generation tests: the process-wide tables are built
// once per test binary, and each test file owns one position with its state stack.
#pragma once

#include <string>

#include "board/bitboard.h"
#include "board/fen.h"
#include "board/position.h"
#include "board/pst.h"
#include "core/params.h"
#include "movegen/generate.h"
#include "movegen/history.h"
#include "shell/movetext.h"
#include "shell/positioncommand.h"

inline void buildTables() {
    static const bool built = [] {
        initPopCount();
        setDefaults();
        initGeometry();
        initMagics();
        initPST();
        initCaptureOrder();
        resetHistory();
        return true;
    }();
    (void)built;
}

// A position ready for use; the state stack lives as long as the test binary.
inline Position& testPosition() {
    static Position pos;
    buildTables();
    if (!pos.stateBase) initPosition(pos);
    return pos;
}

// A second position for tests that compare two.
inline Position& secondPosition() {
    static Position pos;
    buildTables();
    if (!pos.stateBase) initPosition(pos);
    return pos;
}

inline Position& setUp(const std::string& fen) {
    Position& pos = testPosition();
    positionCommand(pos, ("fen " + fen).c_str());
    return pos;
}

// The move of a coordinate text in the position ("e2e4", "e7e8q"), typed as the position
// command types it.
inline Move textMove(const Position& pos, const char* text) {
    Move m = moveFromText(
        pos, encodeMove(makeSquare(text[0] - 'a', text[1] - '1'), makeSquare(text[2] - 'a', text[3] - '1')));
    switch (text[4]) {
        case 'n':
            return Move(m | MovePromoKnight << 12);
        case 'b':
            return Move(m | MovePromoBishop << 12);
        case 'r':
            return Move(m | MovePromoRook << 12);
        case 'q':
            return Move(m | MovePromoQueen << 12);
        default:
            return m;
    }
}
