// Evaluation speed: full evaluations per second, single-threaded, over a fixed set of
// distinct positions collected from short walks. The evaluation-hash slot of each position
// is emptied before its call, so every call does the whole work; the pawn hash works as
// in a search (warm), or is emptied too in the second row.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/makemove.h"
#include "board/position.h"
#include "board/pst.h"
#include "core/params.h"
#include "eval/evalterms.h"
#include "eval/evaluate.h"
#include "eval/kpk.h"
#include "eval/material.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/sizing.h"
#include "movegen/generate.h"
#include "movegen/history.h"
#include "shell/positioncommand.h"

namespace {

// A position reached by a move, with its parent's record (already evaluated) and its own.
struct Snapshot {
    Position pos;
    StateRecord records[2];
};

constexpr const char* BenchFens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bq1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "2r1b1k1/R4pp1/4pb1p/1pBr4/1Pq2P2/3N4/2PQ2PP/5RK1 b - - 0 1",
    "8/1p3pkp/p1r3p1/3P3n/3p1P2/3P4/PP3KP1/R3N3 b - - 0 1",
};
constexpr size_t MaxSnapshots = 4096;

void buildTables() {
    initPopCount();
    setDefaults();
    initGeometry();
    initMagics();
    initPST();
    initCaptureOrder();
    resetHistory();
    initMaterialTable();
    initKpk();
    initKingShelter();
    initEvalMasks();
    optionHash = 8;
    resizeHashTables();
}

void collect(Position& pos, int depth, std::vector<std::unique_ptr<Snapshot>>& out,
             std::unordered_set<uint64_t>& seen) {
    if (depth == 0 || out.size() >= MaxSnapshots) return;
    evaluate(pos, EvalFullLow, EvalFullHigh, pos.state->lastMove);
    MoveEntry list[MaxMoves];
    const bool checked = pos.sideToMove == White ? pos.state->blackCheckers : pos.state->whiteCheckers;
    MoveEntry* end = checked ? generateEvasionsAny(pos, list, ~Bitboard(0))
                             : generateQuietsAny(pos, generateCapturesAny(pos, list, ~Bitboard(0)));
    const Side mover = pos.sideToMove;
    for (MoveEntry* e = list; e < end && out.size() < MaxSnapshots; ++e) {
        const Move move = entryMove(*e);
        makeMoveAny(pos, move);
        computeAttacks(pos);
        const Bitboard theirAttacks = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        if (!(theirAttacks & SquareBB[kingSquare(pos, mover)])) {
            if (seen.insert(pos.state->key).second) {
                auto snap = std::make_unique<Snapshot>();
                snap->pos = pos;
                snap->records[0] = pos.state[-1];
                snap->records[1] = *pos.state;
                snap->pos.stateBase = &snap->records[0];
                snap->pos.state = &snap->records[1];
                out.push_back(std::move(snap));
            }
            collect(pos, depth - 1, out, seen);
        }
        unmakeMoveAny(pos, move);
    }
}

std::vector<std::unique_ptr<Snapshot>>& snapshots() {
    static std::vector<std::unique_ptr<Snapshot>> all;
    if (all.empty()) {
        buildTables();
        static Position walker;
        initPosition(walker);
        std::unordered_set<uint64_t> seen;
        for (const char* fen : BenchFens) {
            std::vector<std::unique_ptr<Snapshot>> some;
            positionCommand(walker, (std::string("fen ") + fen).c_str());
            collect(walker, 2, some, seen);
            // An even share of each start position.
            some.resize(std::min(some.size(), MaxSnapshots / std::size(BenchFens)));
            for (auto& s : some) all.push_back(std::move(s));
        }
    }
    return all;
}

void runEvaluations(benchmark::State& state, bool pawnMiss) {
    auto& all = snapshots();
    for (auto _ : state) {
        for (auto& snap : all) {
            Position& pos = snap->pos;
            evalSlot(pos.state->key) = 0;
            if (pawnMiss) std::memset(static_cast<void*>(pawnSlot(pos.state->pawnKey)), 0, 32);
            evaluate(pos, EvalFullLow, EvalFullHigh, pos.state->lastMove);
            benchmark::DoNotOptimize(pos.state->evalScore);
        }
    }
    state.counters["positions"] = double(all.size());
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(all.size()));
}

void EvalFull(benchmark::State& state) { runEvaluations(state, false); }
void EvalFullPawnMiss(benchmark::State& state) { runEvaluations(state, true); }

}  // namespace

BENCHMARK(EvalFull)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(EvalFullPawnMiss)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
