#include "shell/hashoption.h"

#include "board/bitboard.h"
#include "board/pst.h"
#include "core/params.h"
#include "eval/evalterms.h"
#include "eval/material.h"
#include "hash/sizing.h"
#include "movegen/gaintable.h"
#include "movegen/history.h"
#include "shell/output.h"

void sizeTablesByHashOption() {
    if (resizeHashTables()) printLine("info string Hash reduced to %d MB\n", int(optionHash));
}

void Hash() {
    sizeTablesByHashOption();
    // Rebuild the process-wide tables. The Zobrist keys drawn here continue the key
    // generator, so keys differ from those of any earlier sizing; all else comes out the same.
    resetHistory();
    clearPositionalGains();
    initGeometry();
    initMagics();
    initEvalMasks();
    initMaterialTable();
    initPST();
    printLine("\n");
}
