// The PV node search: nodes with an open window on a principal variation. No forward
// pruning; internal iterative deepening, the full set of extensions, the singular
// extension and a cautious late-move reduction. Other nodes go to the zero-window searches,
// remaining depths of 1 or less to the quiescence search.
#include <algorithm>

#include "board/makemove.h"
#include "core/flags.h"
#include "core/params.h"
#include "eval/evaluate.h"
#include "hash/tt.h"
#include "movegen/generate.h"
#include "movegen/picker.h"
#include "movegen/see.h"
#include "search/heuristics.h"
#include "search/limits.h"
#include "search/node.h"
#include "search/pvmove.h"
#include "search/search.h"
#include "smp/threads.h"

// The singular test searches at depth - min(depth / 2, this).
constexpr int SingularMaxReduction = 12;

template <Side Us>
int PVsearch(Position& pos, int alpha, int beta, int depth, bool inCheck) {
    constexpr Side Them = opposite(Us);
    noteDepth(pos);

    if (beta < -MateValue) return -MateValue;
    if (alpha > MateValue) return MateValue;
    if (depth <= 1)
        return inCheck ? quiescePVInCheck<Us>(pos, alpha, beta, 1) : quiescePV<Us>(pos, alpha, beta, 1);
    if (abortRaised(pos)) return 0;
    if (const int draw = ruleDrawScore(pos, inCheck); draw != NoScore) return draw;
    if (atPlyLimit(pos)) return plyLimitScore(pos, alpha, beta);

    StateRecord* const st = pos.state;
    const uint64_t key = st->key;
    const uint8_t generation = st->ttGeneration;
    const int eval = st->evalScore;

    // Transposition probe: the hash move goes into the best-move slot; only PV bounds and
    // exact results end the node.
    Move& slot = bestMoveSlot(pos);
    slot = NoMove;
    Move hashMove = NoMove;
    int hashDepth = -1;
    int probedDepth = 0;  // the deepest result stored for this position
    {
        const uint32_t check = ttCheck(key);
        TTEntry* const cluster = ttCluster(key);
        for (int k = 0; k < 4; ++k) {
            TTEntry& e = cluster[k];
            if (e.check != check) continue;
            if (e.flags & TTNoMoves) return inCheck ? matedScore(pos.ply) : DrawValue;
            if (e.move && e.lowerDepth > hashDepth) {
                hashMove = Move(e.move);
                hashDepth = e.lowerDepth;
                slot = hashMove;
            }
            const int storedDepth = std::max(e.lowerDepth, e.upperDepth);
            if ((e.flags & TTExact) && storedDepth >= depth) {
                e.generation = generation;
                if (!untimedSearch) return e.lowerScore;
            }
            probedDepth = std::max(probedDepth, storedDepth);
            if (e.lowerDepth > e.upperDepth) {
                if ((e.flags & TTPVLower) && storedDepth >= depth && e.lowerScore >= beta) return beta;
            } else if ((e.flags & TTPVUpper) && storedDepth >= depth && alpha >= e.upperScore) {
                return alpha;
            }
        }
    }

    // Internal iterative deepening: two shallower searches of this node on a widened window
    // supply a hash move. The second is the shallower; near the horizon it may end in the
    // quiescence search, whose last move says nothing about this node, so its move is taken
    // only when the deeper search left none.
    if (inCheck && moveType(hashMove) == MoveCastling) hashMove = NoMove;
    if ((!hashMove && depth >= tuning.IIDNoHashMinDepth) ||
        (depth >= tuning.IIDMinDepth && probedDepth + tuning.IIDReduction < depth)) {
        const int low = alpha - depth, high = beta + depth;
        int v = PVsearch<Us>(pos, low, high, depth - tuning.IIDReduction, inCheck);
        if (abortRaised(pos)) return 0;
        if (v > low) {
            hashMove = slot;
            v = PVsearch<Us>(pos, low, high, depth - tuning.IIDSecondReduction, inCheck);
            if (abortRaised(pos)) return 0;
            if (v > low && !hashMove) hashMove = slot;
        }
    }

    // The moves: staged, or in check all evasions at once in history order. Few evasions
    // extend the hash move.
    MovePicker picker;
    picker.stage = StageHashMove;
    picker.gainThreshold = 0;
    picker.badCount = 0;
    picker.ttMove = hashMove;
    picker.cursor = 0;
    picker.spare = 0;
    picker.targets = pos.pieces[menOf(Them)];
    int hashExtension = 0;
    if (inCheck) {
        MoveEntry* const end = generateEvasions<Us>(pos, picker.moves, ~Bitboard(0));
        orderEvasions<Us>(pos, picker.moves, end, hashMove);
        const long count = end - picker.moves;
        hashExtension = count == 1 ? 2 : count == 2 ? 1 : 0;
        picker.stage = StageGivenList;
    }

    // Singular extension: the hash move is extended when every other move falls clearly short.
    if (depth >= tuning.SingularMinDepth && hashMove && hashExtension < 2 &&
        isPseudoLegal<Us>(pos, hashMove)) {
        const int reducedDepth = depth - std::min(depth / 2, SingularMaxReduction);
        auto othersReach = [&](int bound) {
            const int v = inCheck ? exclusionSearchInCheck<Us>(pos, bound, reducedDepth, hashMove)
                                  : exclusionSearch<Us>(pos, bound, reducedDepth, hashMove);
            return v >= bound;
        };
        if (!othersReach(alpha - depth / 2)) hashExtension = othersReach(alpha - depth) ? 1 : 2;
        if (abortRaised(pos)) return 0;
    }

    int best = NoScore;
    Move bestMove = NoMove;
    bool bestIsQuiet = false;
    bool splitTried = false;
    for (int i = 0;;) {
        if (depth >= tuning.SplitMinDepth && !splitTried && best != NoScore && !inCheck && anyThreadIdle()) {
            splitTried = true;
            int splitResult;
            const bool splitDone =
                split(pos, picker, depth, alpha, beta, SplitPV, splitResult, nullptr, i, hashExtension);
            if (abortRaised(pos)) return 0;
            if (splitDone) {
                if (splitResult > alpha || !bestMove) return splitResult;
                best = splitResult;
                break;
            }
        }

        const MoveEntry entry = nextMove<Us>(pos, picker);
        if (!entry) {
            if (best != NoScore) break;
            // No legal move: checkmate or stalemate.
            const int v = inCheck ? matedScore(pos.ply) : DrawValue;
            storeExact(key, NoMove, depth, v, TTExact | TTNoMoves, generation);
            return v;
        }
        const Move move = entryMove(entry);
        const bool capture = isCapture<Us>(pos, move);

        // Taking back our own previous move gains nothing over the position two plies up.
        if (alpha >= 1 && st->rule50 >= 2 && !capture && undoesPreviousMove(pos, move)) {
            best = std::max(best, 0);
            ++i;
            continue;
        }

        const PVMoveFacts facts = pvMoveFacts<Us>(pos, entry, move, capture);
        if (!makeLegalMove<Us>(pos, move, EvalFullLow, EvalFullHigh)) continue;
        const StateRecord& child = *pos.state;
        const bool check = givesCheck<Us>(pos);
        const uint8_t captured = child.capturedPiece;

        int extension = pvExtension(child, facts, check, inCheck);
        if (move == hashMove)
            extension = std::max(extension, hashExtension);
        else
            hashExtension = 0;
        const int reduction =
            pvReduction(extension, i, picker.stage, beta - alpha, depth, child.evalScore, eval);
        const int newDepth = depth + extension - reduction - 2;

        int v;
        if (evalHashShortcut(pos, depth)) {
            v = -child.evalScore;
        } else if (move == hashMove || newDepth <= 1) {
            v = -PVsearch<Them>(pos, -beta, -alpha, newDepth, check);
        } else {
            // A zero window against alpha first; only a move that beats it costs a full search.
            if (newDepth > ShallowMaxDepth)
                v = check ? -allNodeSearchInCheck<Them>(pos, -alpha, newDepth)
                          : -allNodeSearch<Them>(pos, -alpha, newDepth);
            else
                v = check ? -shallowSearchInCheck<Them>(pos, -alpha, newDepth)
                          : -shallowSearch<Them>(pos, -alpha, newDepth);
            if (v > alpha) v = -PVsearch<Them>(pos, -beta, -alpha, newDepth + reduction, check);
        }
        unmakeMove<Us>(pos, move);
        ++i;
        if (abortRaised(pos)) return 0;

        const bool quiet = !captured && !isPromotion(move);
        if (v <= alpha && quiet && alpha - tuning.HistoryPenaltyMargin < eval)
            historyPenalty(pos, move, depth);
        if (v > best) {
            best = v;
            if (v > alpha) {
                alpha = v;
                bestMove = move;
                bestIsQuiet = quiet;
                storeLowerFlags(key, move, depth, v, TTPVLower, generation);
                if (v >= beta) {
                    if (quiet) rewardQuiet(pos, move, depth);
                    slot = move;
                    return v;
                }
            }
        }
    }

    slot = bestMove;
    if (bestMove) {
        if (bestIsQuiet) rewardQuiet(pos, bestMove, depth);
        storeExact(key, bestMove, depth, best, TTExact, generation);
    } else {
        storeUpperFlags(key, depth, best, TTPVUpper, generation);
    }
    return best;
}

template int PVsearch<White>(Position&, int, int, int, bool);
template int PVsearch<Black>(Position&, int, int, int, bool);
