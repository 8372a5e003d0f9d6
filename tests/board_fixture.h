// Shared set-up for the board and move-generation tests: the process-wide tables are built
// once per test binary, and each test file owns one position with its state stack.
#pragma once

#include <string>

#include "board/bitboard.h"
#include "board/fen.h"
#include "board/position.h"
#include "eval/pst.h"
#include "movegen/generate.h"
#include "movegen/history.h"
#include "shell/params.h"

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

inline Position& setUp(const std::string& fen) {
    Position& pos = testPosition();
    positionCommand(pos, ("fen " + fen).c_str());
    return pos;
}
