// Perft speed: nodes per second of generation, make/unmake and the attack map,
// single-threaded. One iteration per benchmark: each walks over a hundred million nodes.
#include <benchmark/benchmark.h>

#include "board/bitboard.h"
#include "board/fen.h"
#include "board/position.h"
#include "board/pst.h"
#include "core/params.h"
#include "movegen/generate.h"
#include "movegen/history.h"
#include "movegen/perft.h"
#include "shell/positioncommand.h"

namespace {

Position& benchPosition() {
    static Position pos;
    if (!pos.stateBase) {
        initPopCount();
        setDefaults();
        initGeometry();
        initMagics();
        initPST();
        initCaptureOrder();
        resetHistory();
        initPosition(pos);
    }
    return pos;
}

void runPerft(benchmark::State& state, const char* fen, int depth) {
    Position& pos = benchPosition();
    positionCommand(pos, (std::string("fen ") + fen).c_str());
    uint64_t nodes = 0;
    for (auto _ : state) {
        const uint64_t count = perft(pos, depth);
        benchmark::DoNotOptimize(count);
        nodes += count;
    }
    state.counters["nodes"] = benchmark::Counter(double(nodes) / double(state.iterations()));
    state.counters["nps"] = benchmark::Counter(double(nodes), benchmark::Counter::kIsRate);
    state.SetItemsProcessed(int64_t(nodes));
}

void PerftStartDepth6(benchmark::State& state) { runPerft(state, StartFen, 6); }
void PerftKiwipeteDepth5(benchmark::State& state) {
    runPerft(state, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5);
}

}  // namespace

BENCHMARK(PerftStartDepth6)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PerftKiwipeteDepth5)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
