// Interim evaluation: material and piece-square values only, with the attack maps the
// search reads. The full evaluation replaces it.
#include "eval/evaluate.h"

#include "board/position.h"
#include "eval/material.h"
#include "movegen/attacks.h"
#include "shell/output.h"

void evaluate(Position& pos, int, int, Move) {
    StateRecord* st = pos.state;
    computeAttacks(pos);
    const uint32_t index = (st->materialInfo >> 8) & 0x7FFFF;
    const MaterialEntry entry =
        index < uint32_t(MaterialTableSize) ? MaterialTable[index] : MaterialEntry{0, 128, 3};
    int v = entry.value + taper(st->psqScore, int(st->materialInfo & 0xFF));
    if (v == 0) v = 1;
    st->materialFlags = entry.flags;
    st->lazyCount = 0;
    st->evalHashClass = 0;
    st->positionalScore = v - entry.value;
    st->evalScore = pos.sideToMove == White ? v : -v;
}

void evalCommand(Position& root) {
    evaluate(root, EvalFullLow, EvalFullHigh, 0);
    const int stm = root.state->evalScore;
    printLine("info string eval white %d stm %d\n", root.sideToMove == White ? stm : -stm, stm);
}
