// Quiescence search: resolves captures (and some checks) below the horizon; the static
// evaluation is taken as a score only where the search stops. q counts the capture levels:
// 0 below zero-window nodes, 1 below PV nodes, one less per level.
//
// Two templates carry the four routines: quiesceNode for a side not in check and
// quiesceEvasions for a side in check, each in a zero-window form (bound beta, window
// beta - 1 .. beta) and an open-window form (PV = true).
#include "board/makemove.h"
#include "core/params.h"
#include "eval/evaluate.h"
#include "hash/tt.h"
#include "movegen/generate.h"
#include "movegen/picker.h"
#include "movegen/see.h"
#include "search/node.h"
#include "search/search.h"

// The open-window evasion search drops minor-piece captures below this margin.
constexpr int PVEvasionMinorDelta = 500;

template <Side Us, bool PV>
static int quiesceNode(Position& pos, int alpha, int beta, int q);
template <Side Us, bool PV>
static int quiesceEvasions(Position& pos, int alpha, int beta, int q);

// Entry tests shared by the four routines: bounds, abort, draw rules and the ply limit.
// Returns true with the node's result in `result` when the node ends here.
template <bool PV, bool InCheck>
static bool quiesceEntry(Position& pos, int& alpha, int& beta, int& result) {
    noteDepth(pos);
    if constexpr (PV) {
        result = 0;
        if (abortRaised(pos)) return true;
        if ((result = ruleDrawScore(pos, InCheck)) != NoScore) return true;
        if (beta < -MateValue) return result = -MateValue, true;
        if (alpha > MateValue) return result = MateValue, true;
    } else {
        if (beta < -ZeroWindowBound) return result = -ZeroWindowBound, true;
        if (beta > ZeroWindowBound) return result = ZeroWindowBound, true;
        alpha = beta - 1;
        result = 0;
        if (abortRaised(pos)) return true;
        if ((result = ruleDrawScore(pos, InCheck)) != NoScore) return true;
    }
    if (atPlyLimit(pos)) return result = plyLimitScore(pos, alpha, beta), true;
    return false;
}

// The transposition probe of the quiescence search. Every entry a search made has a
// nonzero depth, so any stored bound is deep enough. Returns true with the node's result
// when an entry settles the node; otherwise leaves the hash move (the move of the entry
// with the deepest lower bound).
template <bool PV, bool InCheck>
static bool quiesceProbe(const Position& pos, int alpha, int beta, int& result, Move& hashMove) {
    const uint64_t key = pos.state->key;
    const uint32_t check = ttCheck(key);
    TTEntry* const cluster = ttCluster(key);
    int hashDepth = -1;
    hashMove = NoMove;
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        const TTEntry& e = cluster[k];
        if (e.check != check) continue;
        if (e.flags & TTNoMoves) return result = InCheck ? matedScore(pos.ply) : DrawValue, true;
        if (PV && (e.flags & TTExact)) return result = e.lowerScore, true;
        if (e.lowerDepth && e.lowerScore >= beta) return result = e.lowerScore, true;
        if (e.upperDepth && (PV ? e.upperScore <= alpha : e.upperScore < beta))
            return result = e.upperScore, true;
        if (e.move && e.lowerDepth > hashDepth) {
            hashMove = Move(e.move);
            hashDepth = e.lowerDepth;
        }
    }
    return false;
}

// Moves the largest entry from cursor on into the cursor slot (earlier of equal ones).
static MoveEntry selectLargest(MoveEntry* list, int cursor) {
    MoveEntry* const slot = list + cursor;
    for (MoveEntry* e = slot + 1; *e; ++e)
        if (*e > *slot) std::swap(*e, *slot);
    return *slot;
}

// Makes a move of Us, evaluates it and, when legal, searches the child: the evaluation-hash
// shortcut where it applies, else the quiescence search of the side now to move (the in-check
// form when the move gives check). False for an illegal move, which is taken back unsearched.
template <Side Us, bool PV>
static bool searchCapture(Position& pos, Move move, int alpha, int beta, int q, int& value) {
    constexpr Side Them = opposite(Us);
    const int low = PV ? EvalFullLow : beta - tuning.ShallowLazyMargin;
    const int high = PV ? EvalFullHigh : beta + tuning.ShallowLazyMargin;
    if (!makeLegalMove<Us>(pos, move, low, high)) return false;
    if (evalHashShortcut(pos, 1))
        value = -pos.state->evalScore;
    else if (givesCheck<Us>(pos))
        value = -quiesceEvasions<Them, PV>(pos, -beta, -alpha, q);
    else
        value = -quiesceNode<Them, PV>(pos, -beta, -alpha, q);
    unmakeMove<Us>(pos, move);
    return true;
}

template <Side Us, bool PV>
static int quiesceNode(Position& pos, int alpha, int beta, int q) {
    constexpr Side Them = opposite(Us);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn), TheirKnight = pieceFor(Them, Knight),
                      TheirLightBishop = pieceFor(Them, LightBishop),
                      TheirDarkBishop = pieceFor(Them, DarkBishop), TheirRook = pieceFor(Them, Rook);

    int result;
    if (quiesceEntry<PV, false>(pos, alpha, beta, result)) return result;
    Move hashMove;
    if (quiesceProbe<PV, false>(pos, alpha, beta, result, hashMove)) return result;

    StateRecord* const st = pos.state;
    const uint64_t key = st->key;
    const uint8_t generation = st->ttGeneration;
    const int eval = st->evalScore;

    int best = standPat(pos);
    if (best >= beta) return best;
    if constexpr (PV) alpha = std::max(alpha, best);

    // Far below the bound, captures of small men cannot make up the gap and are not tried;
    // an attacked enemy pawn is counted as won instead.
    const int bound = PV ? alpha : beta;
    Bitboard targets = pos.pieces[menOf(Them)];
    if (best < bound - tuning.QSPawnDelta && hasPieces<Us>(pos)) {
        targets &= ~pos.pieces[TheirPawn];
        if (best < bound - tuning.QSMinorDelta)
            targets &=
                ~(pos.pieces[TheirKnight] | pos.pieces[TheirLightBishop] | pos.pieces[TheirDarkBishop]);
        if (best < bound - tuning.QSRookDelta) targets &= ~pos.pieces[TheirRook];
        if (attacksEnemyPawn<Us>(pos)) best += tuning.QSPawnDelta;
    }

    Move bestMove = NoMove;  // open window: the move that raised alpha
    int value;
    // Folds a child's value into the node; true when the node fails high.
    auto failsHigh = [&](Move move) {
        if (value <= best) return false;
        best = value;
        if constexpr (PV) {
            if (value <= alpha) return false;
            alpha = value;
            bestMove = move;
        }
        if (value < beta) return false;
        storeLowerFlags(key, move, 1, value, 0, generation);
        return true;
    };

    MoveEntry list[MaxMoves];
    MoveEntry* end = generateCaptures<Us>(pos, list, targets);
    for (MoveEntry* e = list; e < end; ++e)
        if (entryMove(*e) == hashMove) *e |= 0xFFFF0000u;

    const Bitboard ourBlockers = xrayBlockersOf<Us>(*st);
    int deferred = 0;  // open window: captures set aside, kept at the front of the list
    for (int cursor = 0; list[cursor]; ++cursor) {
        const MoveEntry entry = selectLargest(list, cursor);
        const Move move = entryMove(entry);
        const bool promising = captureClass(entry) || move == hashMove ||
                               (!PV && (ourBlockers & SquareBB[moveFrom(move)])) || seeOk<Us>(pos, move);
        if (!promising) {
            if constexpr (PV) list[deferred++] = entry;
            continue;
        }
        if (!searchCapture<Us, PV>(pos, move, alpha, beta, q - 1, value)) continue;
        if (abortRaised(pos)) return 0;
        if (failsHigh(move)) return value;
    }
    // Captures that seem to lose are tried only on the first level below a PV node.
    if (PV && q > 0) {
        for (int k = 0; k < deferred; ++k) {
            const Move move = entryMove(list[k]);
            if (!searchCapture<Us, PV>(pos, move, alpha, beta, q - 1, value)) continue;
            if (abortRaised(pos)) return 0;
            if (failsHigh(move)) return value;
        }
    }

    // Quiet checks, while close enough to the bound.
    const bool tryChecks =
        PV ? q >= -tuning.QSPVCheckDepth && eval >= best - (16 << (q + tuning.QSPVCheckShift))
           : q >= -1 && eval >= beta - tuning.QSCheckMargin - (12 << (q + 4));
    if (tryChecks) {
        end = generateQuietChecks<Us>(pos, list, targets);
        for (MoveEntry* e = list; e < end; ++e) {
            const Move move = entryMove(*e);
            if (!searchCapture<Us, PV>(pos, move, alpha, beta, q - 1, value)) continue;
            if (abortRaised(pos)) return 0;
            if (failsHigh(move)) return value;
        }
    }

    if constexpr (PV) {
        // Quiet moves that have gained enough positionally before.
        if (q >= -tuning.QSPVQuietDepth && eval >= best - (2 << (q + tuning.QSPVQuietShift))) {
            end = generateGainMoves<Us>(pos, list, best + tuning.QSPVGainMargin - eval);
            for (MoveEntry* e = list; e < end; ++e) {
                const Move move = entryMove(*e);
                makeMove<Us>(pos, move);
                evaluate(pos, EvalFullLow, EvalFullHigh, move);
                if (leftKingAttacked<Us>(pos) || givesCheck<Us>(pos) || -pos.state->evalScore < best) {
                    unmakeMove<Us>(pos, move);
                    continue;
                }
                value = -quiesceNode<Them, true>(pos, -beta, -best, q - 1);
                unmakeMove<Us>(pos, move);
                if (abortRaised(pos)) return 0;
                if (value > best) {
                    best = value;
                    storeLowerFlags(key, move, 1, value, 0, generation);
                    if (value >= beta) return value;
                }
            }
        }
        if (bestMove)
            storeExact(key, bestMove, 1, best, TTExact, generation);
        else
            storeUpperFlags(key, 1, best, 0, generation);
        return best;
    } else {
        storeUpperFlags(key, 1, best, 0, generation);
        return best;
    }
}

template <Side Us, bool PV>
static int quiesceEvasions(Position& pos, int alpha, int beta, int q) {
    constexpr Side Them = opposite(Us);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn), TheirKnight = pieceFor(Them, Knight),
                      TheirLightBishop = pieceFor(Them, LightBishop),
                      TheirDarkBishop = pieceFor(Them, DarkBishop);

    int result;
    if (quiesceEntry<PV, true>(pos, alpha, beta, result)) return result;
    Move hashMove;
    if (quiesceProbe<PV, true>(pos, alpha, beta, result, hashMove)) return result;

    StateRecord* const st = pos.state;
    const uint64_t key = st->key;
    const uint8_t generation = st->ttGeneration;
    const int eval = st->evalScore;
    const bool onlyPawns = !hasPieces<Us>(pos);

    // Far below the bound the node is estimated instead of proved, and captures of small
    // men are not generated.
    int best = matedScore(pos.ply);
    Bitboard targets = ~Bitboard(0);
    const int estimate = eval + tuning.QSEvasionMargin;
    if (estimate < beta && !onlyPawns) {
        const int pawnDelta = PV ? tuning.QSPVEvasionDelta : tuning.QSEvasionPawnDelta;
        const int minorDelta = PV ? PVEvasionMinorDelta : tuning.QSEvasionMinorDelta;
        best = estimate;
        if (estimate < beta - pawnDelta) {
            targets &= ~pos.pieces[TheirPawn];
            best = estimate + pawnDelta;
            if (best < beta - minorDelta)
                targets &=
                    ~(pos.pieces[TheirKnight] | pos.pieces[TheirLightBishop] | pos.pieces[TheirDarkBishop]);
        }
    }

    MoveEntry list[MaxMoves];
    MoveEntry* const end = generateEvasions<Us>(pos, list, targets);
    for (MoveEntry* e = list; e < end; ++e)
        if (entryMove(*e) == hashMove) *e |= 0xFFF00000u;
    // A single evasion does not use up a capture level.
    const int childQ = end - list >= 2 ? q - 1 : q;

    bool pruned = false;
    Move bestMove = NoMove;
    for (int cursor = 0; list[cursor]; ++cursor) {
        const MoveEntry entry = selectLargest(list, cursor);
        const Move move = entryMove(entry);
        if constexpr (!PV) {
            const bool isHashMove = move == hashMove;
            // Interpositions that lose material, and quiet evasions without positional promise,
            // are not tried unless the node is near a mate score.
            if ((entry & CheckHint) && beta > -tuning.QSMatedZone && !isHashMove && !seeOk<Us>(pos, move)) {
                pruned = true;
                continue;
            }
            if (!(isCapture<Us>(pos, move) || isPromotion(move) || isHashMove || onlyPawns ||
                  gainOf(pos, move) + eval >= beta + tuning.QSEvasionGainMargin ||
                  beta <= -tuning.QSMatedZone)) {
                pruned = true;
                continue;
            }
        }
        int value;
        if (!searchCapture<Us, PV>(pos, move, alpha, beta, childQ, value)) continue;
        if (abortRaised(pos)) return 0;
        if (value <= best) continue;
        best = value;
        if constexpr (PV) {
            if (value <= alpha) continue;
            alpha = value;
            bestMove = move;
        }
        if (value >= beta) {
            storeLowerFlags(key, move, 1, value, 0, generation);
            return value;
        }
    }

    if constexpr (PV) {
        if (bestMove)
            storeExact(key, bestMove, 1, best, TTExact, generation);
        else
            storeUpperFlags(key, 1, best, 0, generation);
    } else {
        // Evasions were left out: no mate score is claimed.
        if (pruned && best < -tuning.QSMatedZone) best = beta - 1;
        storeUpperFlags(key, 1, best, 0, generation);
    }
    return best;
}

template <Side Us>
int quiesce(Position& pos, int beta, int q) {
    return quiesceNode<Us, false>(pos, beta - 1, beta, q);
}
template <Side Us>
int quiesceInCheck(Position& pos, int beta, int q) {
    return quiesceEvasions<Us, false>(pos, beta - 1, beta, q);
}
template <Side Us>
int quiescePV(Position& pos, int alpha, int beta, int q) {
    return quiesceNode<Us, true>(pos, alpha, beta, q);
}
template <Side Us>
int quiescePVInCheck(Position& pos, int alpha, int beta, int q) {
    return quiesceEvasions<Us, true>(pos, alpha, beta, q);
}

template int quiesce<White>(Position&, int, int);
template int quiesce<Black>(Position&, int, int);
template int quiesceInCheck<White>(Position&, int, int);
template int quiesceInCheck<Black>(Position&, int, int);
template int quiescePV<White>(Position&, int, int, int);
template int quiescePV<Black>(Position&, int, int, int);
template int quiescePVInCheck<White>(Position&, int, int, int);
template int quiescePVInCheck<Black>(Position&, int, int, int);
