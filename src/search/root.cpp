#include "search/root.h"

#include <bit>
#include <cstring>

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/makemove.h"
#include "board/position.h"
#include "core/params.h"
#include "eval/evaluate.h"
#include "hash/tt.h"
#include "movegen/generate.h"
#include "movegen/legality.h"
#include "movegen/picker.h"
#include "search/driver.h"
#include "search/limits.h"
#include "search/search.h"
#include "search/strength.h"
#include "smp/threads.h"

RootMove RootMoves[MaxMoves];
MultiPvLine PVLines[MaxPVLines + 1];

int previousIterationScore = -MateValue;
int previousSearchDepth = 1000;
uint8_t instantMoveArmed = 1;

Flag bestMoveChanged;
Flag scoreDropped;
Flag firstMoveStable;
Flag rootMovesReady;

int lineCount() {
    int n = 0;
    while (n < MaxPVLines && PVLines[n].move) ++n;
    return n;
}

namespace {

constexpr int RootWindowBound = 30000;

int64_t elapsedMicros() { return int64_t(clockMicros()) - searchStartTime; }

int floorLog2(unsigned x) { return std::bit_width(x) - 1; }

// Root ordering values: pawn 1, knight and bishops 3, rook 5, queen 9, king 0.
constexpr int OrderValue[8] = {0, 1, 3, 0, 3, 3, 5, 9};

// What the transposition table knows about the root.
struct RootProbe {
    Move hashMove = 0;
    bool exactFound = false;
    int exactDepth = 0;
    Move exactMove = 0;
    int exactValue = 0;
};

RootProbe probeRoot(const Position& pos) {
    RootProbe probe;
    const uint64_t key = pos.state->key;
    const TTEntry* cluster = ttCluster(key);
    int bestLowerDepth = -1;
    for (int i = 0; i < 4; ++i) {
        const TTEntry& e = cluster[i];
        if (e.check != ttCheck(key)) continue;
        if (e.move && int(e.lowerDepth) > bestLowerDepth) {
            bestLowerDepth = e.lowerDepth;
            probe.hashMove = e.move;
        }
        if (e.flags & TTExact) {
            probe.exactFound = true;
            probe.exactDepth = e.lowerDepth;
            probe.exactMove = e.move;
            probe.exactValue = e.upperScore;
        }
    }
    return probe;
}

// "go searchmoves": only the listed moves are searched.
bool searchMoveAllowed(Move m) {
    if (searchMoveCount == 0) return true;
    for (int i = 0; i < searchMoveCount; ++i)
        if (searchMoves[i] == m) return true;
    return false;
}

// Generates the legal root moves into RootMoves, ordered: the hash move, captures by
// victim and attacker, then quiet moves in history order. Returns their number.
template <Side Us>
int buildRootMoves(Position& pos, Move hashMove) {
    constexpr Side Them = opposite(Us);
    MoveEntry list[MaxMoves];
    MoveEntry* end;
    if (inCheck(pos)) {
        end = generateEvasions<Us>(pos, list, ~Bitboard(0));
    } else {
        MoveEntry* quiets = generateCaptures<Us>(pos, list, pos.pieces[menOf(Them)]);
        end = generateQuiets<Us>(pos, quiets);
        sortQuiets(quiets, end, 0, 0, 0);
        while (end > quiets && end[-1] == 0) --end;
    }

    int count = 0;
    for (MoveEntry* e = list; e < end; ++e) {
        const Move m = entryMove(*e);
        makeMove<Us>(pos, m);
        computeAttacks(pos);
        const Bitboard theirAttacks = Us == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        const bool legal = !(theirAttacks & pos.pieces[pieceFor(Us, King)]);
        unmakeMove<Us>(pos, m);
        if (!legal || !searchMoveAllowed(m)) continue;

        uint32_t key = 0;
        const uint8_t victim = moveType(m) == MoveEnPassant ? pieceFor(Them, Pawn) : pos.board[moveTo(m)];
        if (victim) {
            const int order =
                16 * OrderValue[kindOf(victim)] - OrderValue[kindOf(pos.board[moveFrom(m)])] - 256;
            key = uint32_t(uint16_t(order)) << 16;
        }
        if (m == hashMove) key = 0xFFFF0000u;
        RootMoves[count++] = RootMove{m | key, 0, 0};
    }
    RootMoves[count] = RootMove{0, 0, 0};

    // Stable insertion sort, descending by the whole word.
    for (int i = 1; i < count; ++i) {
        const RootMove r = RootMoves[i];
        int j = i;
        for (; j > 0 && RootMoves[j - 1].move < r.move; --j) RootMoves[j] = RootMoves[j - 1];
        RootMoves[j] = r;
    }
    return count;
}

// True when the mover's pawn reaches its own fourth rank or beyond with no enemy pawn in
// front of it on its file or the adjacent files.
template <Side Us>
bool isPassedPawnPush(const Position& pos, Move m) {
    constexpr Side Them = opposite(Us);
    const Square to = moveTo(m);
    if (pos.board[to] != pieceFor(Us, Pawn)) return false;
    const bool farEnough = Us == White ? to >= 24 : to <= 39;
    return farEnough && !(PassedPawnSpan[Us][to] & pos.pieces[pieceFor(Them, Pawn)]);
}

// After a root move was made: does it give check?
template <Side Us>
bool givesCheck(const Position& pos) {
    return Us == White ? pos.state->whiteCheckers != 0 : pos.state->blackCheckers != 0;
}

// The zero-window search of a root move's child with bound beta (the child's view).
template <Side Them>
int zeroWindowChild(Position& pos, int beta, int depth, bool check) {
    if (depth >= 10)
        return check ? allNodeSearchInCheck<Them>(pos, beta, depth) : allNodeSearch<Them>(pos, beta, depth);
    if (depth > 1)
        return check ? shallowSearchInCheck<Them>(pos, beta, depth) : shallowSearch<Them>(pos, beta, depth);
    return check ? quiesceInCheck<Them>(pos, beta, 0) : quiesce<Them>(pos, beta, 0);
}

bool isRootMove(Move m) {
    for (const RootMove* r = RootMoves; r->move; ++r)
        if (entryMove(r->move) == m) return true;
    return false;
}

void stripOrderingKeys() {
    for (RootMove* r = RootMoves; r->move; ++r) r->move &= MoveMask;
}

// After an iteration: best first, the others in the order of the effort they took.
void reorderRootMoves(int first) {
    int count = 0;
    while (RootMoves[count].move) ++count;
    for (int i = first + 1; i < count; ++i) {
        const RootMove r = RootMoves[i];
        int j = i;
        for (; j > first && RootMoves[j - 1].score < r.score; --j) RootMoves[j] = RootMoves[j - 1];
        RootMoves[j] = r;
    }
    for (int i = first + 2; i < count; ++i) {
        const RootMove r = RootMoves[i];
        int j = i;
        for (; j > first + 1 && RootMoves[j - 1].nodes < r.nodes; --j) RootMoves[j] = RootMoves[j - 1];
        RootMoves[j] = r;
    }
}

// Records a new best root move and the time-control hints.
void newBestRootMove(Position& pos, Move m, int v, int alpha, int beta, int depth) {
    storeLowerFlags(pos.state->key, m, depth, v, TTPVLower, pos.state->ttGeneration);
    bestMove = m;
    bestScore = v;
    bestDepth = depth;
    if (v < beta) reportPV(pos, elapsedMicros(), alpha, v, beta);
    if (v < previousIterationScore - tuning.ScoreDropMargin) {
        scoreDropped = 1;
        firstMoveStable = 0;
    } else {
        scoreDropped = 0;
    }
}

void storeRootResult(Position& pos, int best, int alpha, int beta, int depth) {
    bestDepth = depth;
    if (best <= alpha)
        storeUpperFlags(pos.state->key, depth, alpha, TTPVUpper, pos.state->ttGeneration);
    else if (best < beta)
        storeExact(pos.state->key, bestMove, depth, best, TTExact, pos.state->ttGeneration);
}

// The multiple-lines mode: the lines found so far, sorted by score.
// Enters (or updates) the line of a move and keeps the table sorted, at most k lines.
void enterLine(Move m, int score, int alpha, int beta, int depth, int k) {
    int n = lineCount();
    int at = 0;
    while (at < n && PVLines[at].move != m) ++at;
    if (at == n) {
        if (n == k) {
            if (score <= PVLines[n - 1].score) return;
            at = n - 1;
        } else {
            at = n++;
            PVLines[n].move = 0;
        }
    }
    PVLines[at] = MultiPvLine{m, score, alpha, beta, depth};
    while (at > 0 && PVLines[at - 1].score < PVLines[at].score) {
        std::swap(PVLines[at - 1], PVLines[at]);
        --at;
    }
    while (at + 1 < n && PVLines[at + 1].score > PVLines[at].score) {
        std::swap(PVLines[at + 1], PVLines[at]);
        ++at;
    }
}

}  // namespace

namespace {

// A root move after it was made and evaluated.
struct RootChild {
    bool check;     // the move gives check
    int extension;  // 1 for captures, checks and passed-pawn pushes
};

template <Side Us>
RootChild enterRootMove(Position& pos, Move m) {
    makeMove<Us>(pos, m);
    evaluate(pos, EvalFullLow, EvalFullHigh, m);
    const bool check = givesCheck<Us>(pos);
    const bool capture = pos.state->capturedPiece != 0 || moveType(m) == MoveEnPassant;
    return RootChild{check, capture || check || isPassedPawnPush<Us>(pos, m) ? 1 : 0};
}

// The reduction of the i-th root move without extension: none for the first moves or at
// low depth; then log2(i + 1) - 1 with a clock, 1 and later 2 without one.
template <bool Untimed>
int rootReduction(int i, int depth) {
    const TuningParameters& t = tuning;
    if (i < t.RootReductionMoveCount || depth < t.RootReductionMinDepth) return 0;
    if (Untimed) return i < t.RootDoubleReductionMoveCount ? 1 : 2;
    return floorLog2(unsigned(i + 1)) - 1;
}

// Deep children of the untimed root are first probed with null-window PV searches at
// rising depths against bound; the result stays above bound only if every step did.
template <Side Them>
int steppedTest(Position& pos, int bound, int depth, bool check) {
    int o = 32750;
    for (int step = depth - 12; step <= depth && o > bound; step += 4)
        o = -PVsearch<Them>(pos, -bound - 1, -bound, step, check);
    return o;
}

// One iteration at the root with a single principal variation. The first move gets the
// open window; the others a zero-window search against the running alpha, re-searched
// at the unreduced depth with a null window and then the open window when they beat it.
template <Side Us, bool Untimed>
int rootSearchOneLine(Position& pos, int alpha, int beta, int depth) {
    constexpr Side Them = opposite(Us);
    stripOrderingKeys();
    if (alpha < -29999) alpha = -RootWindowBound;
    if (beta > RootWindowBound) beta = RootWindowBound;
    int best = NoScore;
    int a = alpha;

    for (int i = 0; RootMoves[i].move; ++i) {
        const Move m = Move(RootMoves[i].move);
        const uint64_t nodesBefore = totalNodes();
        reportRootMove(pos, depth, m, i + 1);
        const RootChild child = enterRootMove<Us>(pos, m);
        const int e = child.extension;
        const int nd = depth + e - (e ? 0 : rootReduction<Untimed>(i, depth)) - 2;
        const int fullDepth = depth + e - 2;

        int v;
        if (evalHashShortcut(pos, depth)) {
            v = -pos.state->evalScore;
        } else if (best == NoScore || depth < 3) {
            v = -PVsearch<Them>(pos, -beta, -a, nd, child.check);
        } else {
            // Deep in an untimed search the stepped test comes first; a result above alpha
            // stands in for the zero-window search.
            const bool tryStepped = Untimed && nd >= 10 && nd >= tuning.SingularMinDepth;
            v = tryStepped ? steppedTest<Them>(pos, a, nd, child.check) : a;
            const bool stepped = v > a;
            if (!stepped) v = -zeroWindowChild<Them>(pos, -a, nd, child.check);
            if (v > a) {
                bestMoveChanged = 1;
                firstMoveStable = 0;
                if (!stepped) v = -PVsearch<Them>(pos, -a - 1, -a, fullDepth, child.check);
                if (v > a) v = -PVsearch<Them>(pos, -beta, -a, fullDepth, child.check);
                if (v < a) v = a;
            }
        }
        unmakeMove<Us>(pos, m);
        if (abortRaised(pos)) return 0;

        RootMoves[i].score = v > a ? v : alpha;
        RootMoves[i].nodes = totalNodes() - nodesBefore;
        if (v > best && v > a) newBestRootMove(pos, m, v, alpha, beta, depth);
        if (v > best) best = v;
        if (v > a) a = v;
        if (v >= beta) break;
    }
    reorderRootMoves(0);
    storeRootResult(pos, best, alpha, beta, depth);
    return best;
}

}  // namespace

template <Side Us>
int rootSearch(Position& pos, int alpha, int beta, int depth) {
    return rootSearchOneLine<Us, false>(pos, alpha, beta, depth);
}

template <Side Us>
int rootSearchUntimed(Position& pos, int alpha, int beta, int depth) {
    return rootSearchOneLine<Us, true>(pos, alpha, beta, depth);
}

namespace {

// The multiple-lines mode: the first k moves each get an open window; later moves enter
// the lines only by beating the k-th line's score.
template <Side Us>
int rootSearchMultiPV(Position& pos, int depth, int k) {
    constexpr Side Them = opposite(Us);
    const TuningParameters& t = tuning;
    stripOrderingKeys();
    if (depth < 14) PVLines[0].move = 0;
    MultiPvLine previous[MaxPVLines + 1];
    memcpy(previous, PVLines, sizeof previous);
    const int threshold = t.MateRangeThreshold;

    for (int i = 0; RootMoves[i].move; ++i) {
        const Move m = Move(RootMoves[i].move);
        const uint64_t nodesBefore = totalNodes();
        int lines = lineCount();
        int s = 0, h = RootWindowBound;
        for (int j = 0; previous[j].move; ++j)
            if (previous[j].move == m) {
                s = previous[j].score;
                h = 8;
            }

        reportRootMove(pos, depth, m, i + 1);
        const RootChild child = enterRootMove<Us>(pos, m);
        const bool check = child.check;
        const int e = child.extension;
        // With lines to fill the reduction starts only after the lines' moves, which with
        // the default parameters means never.
        const int r = e == 0 && t.RootReductionMoveCount + 2 * lines < 1 ? rootReduction<true>(i, depth) : 0;
        const int fullDepth = depth + e - 2;

        int v;
        bool entered = false;
        if (lines < k || depth < 3) {
            int reduce = r;
            for (;;) {
                int lo = s - h, hi = s + h;
                if (lo < -threshold || hi > threshold) lo = -RootWindowBound, hi = RootWindowBound;
                v = -PVsearch<Them>(pos, -hi, -lo, fullDepth - reduce, check);
                reduce = 0;
                if (abortRaised(pos)) break;
                if (v > 29999) v = 29999;
                if (v < -29999) v = -29999;
                if (v > lo && v < hi) break;
                if (lo == -RootWindowBound && hi == RootWindowBound) break;
                enterLine(m, v, lo, hi, depth, k);
                bestMove = Move(PVLines[0].move);
                bestScore = PVLines[0].score;
                bestDepth = depth;
                reportPV(pos, elapsedMicros(), -RootWindowBound, bestScore, RootWindowBound);
                s += v <= lo ? -h / 2 : h / 2;
                h += h / 2;
            }
            entered = true;
        } else {
            const int n = PVLines[k - 1].score;
            const int nd = depth + e - r - 2;
            v = n;
            bool stepped = false;
            if (nd >= 10 && nd >= t.SingularMinDepth) {
                v = steppedTest<Them>(pos, n, nd, check);
                stepped = v > n;
            }
            if (!stepped) v = -zeroWindowChild<Them>(pos, -n, nd, check);
            if (v > n && !abortRaised(pos)) {
                if (!stepped) v = -PVsearch<Them>(pos, -n - 1, -n, fullDepth, check);
                int q = 8;
                int bound = n + q;
                while (v >= bound && !abortRaised(pos)) {
                    v = -PVsearch<Them>(pos, -bound - 1, -bound, fullDepth, check);
                    if (v < bound) break;
                    if (bound >= RootWindowBound) break;
                    if (n + q + q / 2 < threshold) {
                        q += q / 2;
                        bound = n + q;
                    } else {
                        bound = RootWindowBound;
                    }
                }
                entered = v > n;
            }
        }
        unmakeMove<Us>(pos, m);
        if (abortRaised(pos)) return 0;

        RootMoves[i].nodes = totalNodes() - nodesBefore;
        if (entered) {
            enterLine(m, v, -RootWindowBound, RootWindowBound, depth, k);
            bestMove = Move(PVLines[0].move);
            bestScore = PVLines[0].score;
            bestDepth = depth;
            reportPV(pos, elapsedMicros(), -RootWindowBound, bestScore, RootWindowBound);
            RootMoves[i].score = v;
        } else {
            RootMoves[i].score = lineCount() >= k ? PVLines[k - 1].score : v;
        }
    }

    // The moves of the lines first, in line order; the rest by effort.
    int front = 0;
    for (int j = 0; PVLines[j].move; ++j)
        for (int i = front; RootMoves[i].move; ++i)
            if (Move(RootMoves[i].move) == Move(PVLines[j].move)) {
                std::swap(RootMoves[front++], RootMoves[i]);
                break;
            }
    int count = front;
    while (RootMoves[count].move) ++count;
    for (int i = front + 1; i < count; ++i) {
        const RootMove rm = RootMoves[i];
        int j = i;
        for (; j > front && RootMoves[j - 1].nodes < rm.nodes; --j) RootMoves[j] = RootMoves[j - 1];
        RootMoves[j] = rm;
    }
    bestDepth = depth;
    if (PVLines[0].move)
        storeExact(pos.state->key, Move(PVLines[0].move), depth, PVLines[0].score, TTExact,
                   pos.state->ttGeneration);
    return PVLines[0].move ? PVLines[0].score : 0;
}

// A limited search plays the only legal move at once, as a player does.
bool playForcedMove(int legalMoves) {
    if (!limitedSearch || legalMoves != 1) return false;
    bestMove = entryMove(RootMoves[0].move);
    bestDepth = 0;
    return true;
}

// Prepares the root: its own evaluation and check information, the move list.
template <Side Us>
bool prepareRoot(Position& pos, RootProbe& probe) {
    evaluate(pos, EvalFullLow, EvalFullHigh, 0);
    probe = probeRoot(pos);
    return true;
}

template <Side Us>
void depthLoop(Position& pos, bool timed) {
    const TuningParameters& t = tuning;
    const int k = searchLineCount();
    // Several lines are searched without a clock, and by a limited search under one.
    const bool lines = (!timed || limitedSearch) && k != 1;
    const int lastDepth = timed ? 256 : 250;
    for (int d = 2; d <= lastDepth; d += 2) {
        clearDeepestPlies();  // the selective depth reported is that of this iteration
        bestMoveChanged = 0;
        scoreDropped = 0;
        const bool fullWindow = d < t.AspirationMinDepth || bestScore > t.MateRangeThreshold ||
                                bestScore < -t.MateRangeThreshold || lines;
        if (lines) {
            rootSearchMultiPV<Us>(pos, d, k);
        } else if (fullWindow) {
            timed ? rootSearch<Us>(pos, -RootWindowBound, RootWindowBound, d)
                  : rootSearchUntimed<Us>(pos, -RootWindowBound, RootWindowBound, d);
        } else {
            int w = t.AspirationWindow;
            int alpha = bestScore - w, beta = bestScore + w;
            for (;;) {
                if (alpha < -t.MateRangeThreshold) alpha = -RootWindowBound;
                if (beta > t.MateRangeThreshold) beta = RootWindowBound;
                const int s =
                    timed ? rootSearch<Us>(pos, alpha, beta, d) : rootSearchUntimed<Us>(pos, alpha, beta, d);
                if (stopSearch) break;
                if (s > alpha && s < beta) break;
                if (alpha <= -RootWindowBound && beta >= RootWindowBound) break;
                if (s <= alpha) {
                    bestScore = alpha;
                    alpha -= w;
                }
                if (s >= beta) {
                    bestScore = beta;
                    beta += w;
                }
                w += w / 2;
            }
        }
        if (d == 2) firstMoveStable = 1;
        previousIterationScore = bestScore;
        if (stopSearch) return;
        if (limitedSearch && limitedIterationDone(totalNodes())) return;
        iterationDone(pos, d / 2);
        if (stopSearch) return;
    }
}

}  // namespace

template <Side Us>
void iterate(Position& pos) {
    if (untimedSearch) {
        iterateUntimed<Us>(pos);
        return;
    }
    RootProbe probe;
    prepareRoot<Us>(pos, probe);
    const bool check = inCheck(pos);
    const int legalMoves = buildRootMoves<Us>(pos, probe.hashMove);
    rootMovesReady = 1;

    // The instant-move rule: the previous search already settled this position and no
    // other move comes close. The move must also be one of the legal root moves, so that a
    // corrupted table entry can never be played.
    const TuningParameters& t = tuning;
    if (probe.exactFound && probe.exactDepth >= previousSearchDepth - 6 &&
        probe.exactMove == probe.hashMove && probe.exactMove != 0 && !optionPonder && !limitedSearch &&
        instantMoveArmed == 1 && previousSearchDepth > 17 && isPseudoLegal<Us>(pos, probe.exactMove) &&
        probe.exactValue > -t.MateRangeThreshold && probe.exactValue < t.MateRangeThreshold &&
        isRootMove(probe.exactMove)) {
        bestMove = probe.exactMove;
        bestScore = probe.exactValue;
        bestDepth = probe.exactDepth;
        instantMoveArmed = 0;
        const int bound = probe.exactValue - t.InstantMoveMargin;
        const int depth = previousSearchDepth - 6;
        const int v = check ? exclusionSearchInCheck<Us>(pos, bound, depth, probe.exactMove)
                            : exclusionSearch<Us>(pos, bound, depth, probe.exactMove);
        if (v < bound) return;
    }
    instantMoveArmed = 1;

    if (legalMoves == 0) {
        bestScore = check ? -MateValue : DrawValue;
        bestMove = 0;
        bestDepth = 0;
        return;
    }
    if (playForcedMove(legalMoves)) return;
    depthLoop<Us>(pos, true);
}

template <Side Us>
void iterateUntimed(Position& pos) {
    RootProbe probe;
    prepareRoot<Us>(pos, probe);
    const int legalMoves = buildRootMoves<Us>(pos, probe.hashMove);
    rootMovesReady = 1;
    if (legalMoves == 0) {
        bestScore = inCheck(pos) ? -MateValue : DrawValue;
        bestMove = 0;
        bestDepth = 0;
        return;
    }
    if (playForcedMove(legalMoves)) return;
    depthLoop<Us>(pos, false);
}

void iterateAny(Position& pos) {
    if (pos.sideToMove == White)
        iterate<White>(pos);
    else
        iterate<Black>(pos);
}

template void iterate<White>(Position&);
template void iterate<Black>(Position&);
template void iterateUntimed<White>(Position&);
template void iterateUntimed<Black>(Position&);
template int rootSearch<White>(Position&, int, int, int);
template int rootSearch<Black>(Position&, int, int, int);
template int rootSearchUntimed<White>(Position&, int, int, int);
template int rootSearchUntimed<Black>(Position&, int, int, int);
