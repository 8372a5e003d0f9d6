// The zero-window node searches: every node off the principal variation decides only
// whether it is worth at least beta (window beta - 1 .. beta). Four families call each
// other by the expected node type, so the type alternates down a line of play:
//   cut-node   expected to fail high (depth above the shallow range);
//   all-node   expected to fail low; internal deepening and the singular test live here;
//   exclusion  the cut-node search with one move left out (singular tests);
//   shallow    depths 2 to 9, the lightest of them.
// Each family has a variant for a side in check. One template, zeroWindow<Us, Kind,
// InCheck>, carries all sixteen routines: the entry, the probe and razoring are shared;
// zeroWindowMoves runs the forward pruning and the staged move loop, zeroWindowEvasions
// the loop over all evasions.
#include <algorithm>

#include "board/makemove.h"
#include "core/params.h"
#include "eval/evaluate.h"
#include "hash/tt.h"
#include "movegen/generate.h"
#include "movegen/picker.h"
#include "movegen/see.h"
#include "search/heuristics.h"
#include "search/node.h"
#include "search/search.h"
#include "smp/threads.h"

enum NodeKind { CutNode, AllNode, ExclusionNode, ShallowNode };

// The family of a zero-window child deeper than the shallow range: cut-nodes and all-nodes
// alternate; below an exclusion or shallow node an all-node is expected.
constexpr NodeKind childKind(NodeKind kind) { return kind == AllNode ? CutNode : AllNode; }

// The singular test searches at depth - min(depth / 2, this).
constexpr int SingularMaxReduction = 12;
// Losing-exchange pruning margin of the exclusion search.
constexpr int ExclusionSeeFutilityMargin = 125;
// The exclusion search verifies a null-move cutoff only above this verification depth.
constexpr int ExclusionVerifyMaxDepth = 7;
// Without a hash move, the all-node search deepens internally from this depth, 4 shallower.
constexpr int AllNodeIIDMinDepth = 6;
constexpr int AllNodeIIDReduction = 4;

template <Side Us, NodeKind Kind, bool InCheck>
static int zeroWindow(Position& pos, int beta, int depth, Move excluded);

// Searches a child position (Us to move there) with the routine its depth calls for: the
// family Kind above the shallow range, the shallow family within it, quiescence below.
template <Side Us, NodeKind Kind>
static int searchChild(Position& pos, int beta, int depth, bool inCheck) {
    if (depth > ShallowMaxDepth)
        return inCheck ? zeroWindow<Us, Kind, true>(pos, beta, depth, NoMove)
                       : zeroWindow<Us, Kind, false>(pos, beta, depth, NoMove);
    if (depth > 1)
        return inCheck ? zeroWindow<Us, ShallowNode, true>(pos, beta, depth, NoMove)
                       : zeroWindow<Us, ShallowNode, false>(pos, beta, depth, NoMove);
    return inCheck ? quiesceInCheck<Us>(pos, beta, 0) : quiesce<Us>(pos, beta, 0);
}

// k << (depth - 6): pruning margins that double with every half ply of depth.
inline int depthScaled(int k, int depth) {
    const int shift = depth - tuning.PruningDepthOffset;
    return shift >= 0 ? k << shift : k >> std::min(-shift, 31);
}

template <NodeKind Kind>
inline int razorMargin() {
    if constexpr (Kind == AllNode) return tuning.AllNodeRazorMargin;
    if constexpr (Kind == ExclusionNode) return tuning.ExclusionRazorMargin;
    return tuning.ShallowRazorMargin;
}

// A stored lower bound ends the node only under the family's condition: most families want
// a refutation behind it (a null move would be allowed here, or the entry holds a move), and
// an all-node does not trust a cut-node's fail high.
template <NodeKind Kind, bool InCheck>
inline bool lowerBoundUsable(const TTEntry& e, bool nullAllowed) {
    const bool refuted = InCheck || nullAllowed || e.move;
    if constexpr (Kind == CutNode || Kind == ExclusionNode) return refuted;
    if constexpr (Kind == AllNode) return !(e.flags & TTCutLower) && refuted;
    return true;
}

// A cut-node does not trust an all-node's fail low.
template <NodeKind Kind>
inline bool upperBoundUsable(const TTEntry& e) {
    return Kind != CutNode || !(e.flags & TTAllUpper);
}

// Fail high: the cut-node family marks its lower bounds.
template <NodeKind Kind>
[[gnu::always_inline]] inline void storeFailHigh(uint64_t key, Move move, int depth, int value,
                                                 uint8_t generation) {
    if constexpr (Kind == CutNode)
        storeLower(key, move, depth, value, generation);
    else
        storeLowerFlags(key, move, depth, value, 0, generation);
}

// Singular test of the hash move at an expected all-node: how much to extend it. Every
// other move is searched against beta - depth, then against beta - 2 * depth.
template <Side Us, bool InCheck>
static int singularExtension(Position& pos, int beta, int depth, Move hashMove) {
    const int reducedDepth = depth - std::min(depth / 2, SingularMaxReduction);
    const int ply = pos.ply;
    if (zeroWindow<Us, ExclusionNode, InCheck>(pos, beta - depth, reducedDepth, hashMove) >= beta - depth)
        return 0;
    if (zeroWindow<Us, ExclusionNode, InCheck>(pos, beta - 2 * depth, reducedDepth, hashMove) <
        beta - 2 * depth)
        return 2 + (depth >= 8 * ply ? 1 : 0) + (depth >= 4 * ply ? 1 : 0);
    return depth < 4 * ply ? 1 : 2;
}

// One move of a zero-window node not in check: the forward pruning before and after the move
// is made, the extensions and the late-move reduction, and the search of the child. It
// serves the node's own move loop and the threads that share the node's moves at a split
// point alike, so a move is searched the same way whichever thread takes it. i is the
// number of moves the node counted before this one, stage the picker stage the move came
// from. After a search v holds the move's value and quiet tells whether it captured or
// promoted nothing; the move has been taken back.
template <Side Us, NodeKind Kind>
static inline __attribute__((always_inline)) MoveStep zeroWindowMove(Position& pos, const ZeroWindowFrame& f,
                                                                     MoveEntry entry, int stage, int i,
                                                                     int& v, bool& quiet) {
    constexpr Side Them = opposite(Us);
    constexpr NodeKind ChildKind = childKind(Kind);
    constexpr bool Cut = Kind == CutNode, All = Kind == AllNode, Exclusion = Kind == ExclusionNode,
                   Shallow = Kind == ShallowNode;
    constexpr uint8_t OurKing = pieceFor(Us, King);
    const int beta = f.beta, depth = f.depth, eval = f.eval;
    const Move hashMove = f.hashMove;

    const Move move = entryMove(entry);
    if (Exclusion && move == f.excluded) return MoveStep::NotCounted;
    const Square from = moveFrom(move);
    const bool capture = isCapture<Us>(pos, move);

    // Taking back our own previous move gains nothing over the position two plies up.
    if (beta > 0 && pos.state->rule50 >= 2 && !capture && !isPromotion(move) && undoesPreviousMove(pos, move))
        return MoveStep::SkippedAsDraw;

    const bool quietStage = stage == StageQuiets;
    const bool blocker = (f.ourBlockers & SquareBB[from]) != 0;
    const bool plainQuiet = quietStage && !isPromotion(move) && !(entry & CheckHint) && !blocker;

    // Late quiet moves without positional promise are pruned before they are made.
    if constexpr (Shallow) {
        if (plainQuiet && i >= depth && f.piecesLeft &&
            eval + 2 * depth + gainOf(pos, move) < tuning.ShallowLateMoveMargin + beta + 2 * i) {
            return MoveStep::Skipped;
        }
    } else {
        constexpr int Scale = Cut ? 5 : All ? 1 : 6;
        const int margin = Cut   ? tuning.CutLateMoveMargin
                           : All ? tuning.AllLateMoveMargin
                                 : tuning.ExclusionLateMoveMargin;
        if (plainQuiet && i > tuning.LateMoveCount && depth < tuning.PruningMaxDepth &&
            eval + depthScaled(Scale, depth) + gainOf(pos, move) < margin + beta + 2 * i) {
            return MoveStep::Skipped;
        }
    }

    // Moves that lose material by exchange.
    const uint8_t mover = pos.board[from];
    if constexpr (Cut || Exclusion) {
        const int margin = Cut ? tuning.CutSeeFutilityMargin : ExclusionSeeFutilityMargin;
        if (depth < tuning.PruningMaxDepth && eval + depthScaled(2, depth) < beta + margin && quietStage &&
            mover != OurKing && !blocker && !(entry & CheckHint) && !seeOk<Us>(pos, move)) {
            return MoveStep::Skipped;
        }
    }
    if constexpr (Shallow) {
        const bool worthIt = mover == OurKing || (capture && (depth > 5 || captureClass(entry))) || blocker ||
                             moveType(move) == MoveCastling || move == hashMove || seeOk<Us>(pos, move);
        if (!worthIt) {
            return MoveStep::Skipped;
        }
    }

    const int lazyMargin = Shallow ? tuning.ShallowLazyMargin : tuning.NodeLazyMargin;
    if (!makeLegalMove<Us>(pos, move, beta - lazyMargin, beta + lazyMargin)) return MoveStep::NotCounted;
    const bool check = givesCheck<Us>(pos);
    if (Shallow && check && stage == StageGainMoves) {  // the checks came before
        unmakeMove<Us>(pos, move);
        return MoveStep::NotCounted;
    }
    const int childEval = pos.state->evalScore;
    const uint8_t captured = pos.state->capturedPiece;

    // The singular extension, or a recapture extension, for the hash move.
    int extension = 0;
    if constexpr (All) {
        if (move == hashMove) {
            extension = f.singular;
            if (captured && f.lastCaptured && moveTo(move) == f.lastArrival)
                extension = std::max(extension, 1);
        }
    }
    const int fullDepth = depth + extension - 2;

    if (evalHashShortcut(pos, depth)) {
        v = -childEval;
    } else if (check) {
        v = -searchChild<Them, ChildKind>(pos, 1 - beta, All ? depth + std::max(extension, 1) - 2 : depth - 1,
                                          true);
    } else {
        // Late moves whose evaluation after the move stays clearly short are dropped.
        bool prune;
        if constexpr (Shallow)
            prune = i >= depth;
        else if constexpr (All)
            prune = i > 2 && depth < tuning.PruningMaxDepth && quietStage && extension == 0;
        else if constexpr (Cut)
            prune = i > tuning.LateMoveCount && depth < tuning.PruningMaxDepth && quietStage;
        else
            prune = i > tuning.LateMoveCount && depth < tuning.PruningMaxDepth && !captured;
        if (prune) {
            prune = Shallow ? 2 * depth - childEval < beta + i
                            : depthScaled(2, depth) - childEval < beta + i - tuning.AfterMoveFutilityMargin;
        }
        if (prune) {
            unmakeMove<Us>(pos, move);
            return MoveStep::Skipped;
        }

        // Late-move reduction, with a re-search at full depth after a fail high.
        int reducedDepth = fullDepth;
        if constexpr (Cut || Exclusion) {
            if (quietStage && i > 2) reducedDepth = depth - 2 - floorLog2(unsigned(i + 1));
        } else if constexpr (All) {
            if (quietStage && extension == 0) reducedDepth = depth - 6 - floorLog2(unsigned(i + 4));
        }
        v = -searchChild<Them, ChildKind>(pos, 1 - beta, reducedDepth, false);
        if (reducedDepth != fullDepth && v >= beta)
            v = -searchChild<Them, ChildKind>(pos, 1 - beta, fullDepth, false);
    }
    unmakeMove<Us>(pos, move);
    quiet = !captured && !isPromotion(move);
    return MoveStep::Searched;
}

// Forward pruning and the staged move loop of a side not in check.
template <Side Us, NodeKind Kind>
static int zeroWindowMoves(Position& pos, int beta, int depth, Move excluded, Move hashMove, uint64_t key) {
    constexpr Side Them = opposite(Us);
    constexpr NodeKind ChildKind = childKind(Kind);
    constexpr bool Cut = Kind == CutNode, All = Kind == AllNode, Exclusion = Kind == ExclusionNode,
                   Shallow = Kind == ShallowNode;
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn), TheirKnight = pieceFor(Them, Knight),
                      TheirLightBishop = pieceFor(Them, LightBishop),
                      TheirDarkBishop = pieceFor(Them, DarkBishop), TheirRook = pieceFor(Them, Rook);

    StateRecord* const st = pos.state;
    const uint8_t generation = st->ttGeneration;
    const int eval = st->evalScore;

    // Static null move: far enough above beta the shallow node stands pat.
    if constexpr (Shallow)
        if (eval - tuning.StaticNullMargin - 10 * depth >= beta && beta >= -tuning.StaticNullMinBeta)
            return eval;
    int best = Shallow ? std::min(beta - 1, eval) : beta - 1;

    // Null move, with a verification search at larger depths.
    if (eval >= beta && nullMoveAllowed<Us>(pos) && depth > 1) {
        const int nullDepth = depth - tuning.NullMoveReduction - std::min(eval - beta, 96) / 32;
        makeNullMove(pos);
        // The null move evaluates nothing and leaves the checker sets of the record before it.
        pos.state->evalHashClass = 0;
        pos.state->whiteCheckers = st->whiteCheckers;
        pos.state->blackCheckers = st->blackCheckers;
        int v = -searchChild<Them, ChildKind>(pos, 1 - beta, nullDepth, false);
        unmakeNullMove(pos);
        if (abortRaised(pos)) return 0;
        if (v >= beta) {
            const int verifyDepth = nullDepth - tuning.NullVerifyReduction;
            const bool verify =
                Exclusion ? verifyDepth > ExclusionVerifyMaxDepth : depth >= tuning.NullVerifyMinDepth;
            if (tuning.NullMoveVerification && verify) {
                const uint8_t flags = st->materialFlags;
                st->materialFlags = uint8_t(flags & ~3);
                v = verifyDepth <= 1 ? quiesce<Us>(pos, beta, 0)
                                     : zeroWindow<Us, Kind, false>(pos, beta, verifyDepth, excluded);
                st->materialFlags = flags;
                if (abortRaised(pos)) return 0;
            }
            if (v >= beta) {
                if (!hashMove) storeFailHigh<Kind>(key, NoMove, depth, v, generation);
                return v;
            }
        }
    }

    // Internal iterative deepening at an expected all-node without a hash move.
    if constexpr (All) {
        if (!hashMove && depth >= AllNodeIIDMinDepth) {
            const int iidDepth = depth - AllNodeIIDReduction;
            const int v = iidDepth > ShallowMaxDepth
                              ? zeroWindow<Us, AllNode, false>(pos, beta, iidDepth, NoMove)
                              : zeroWindow<Us, ShallowNode, false>(pos, beta, iidDepth, NoMove);
            if (abortRaised(pos)) return 0;
            if (v >= beta) hashMove = bestMoveSlot(pos);
        }
    }

    int singular = 0;
    if constexpr (All) {
        if (depth >= tuning.SingularMinDepth && hashMove && isPseudoLegal<Us>(pos, hashMove)) {
            singular = singularExtension<Us, false>(pos, beta, depth, hashMove);
            if (abortRaised(pos)) return 0;
        }
    }

    MovePicker picker;
    picker.stage = StageHashMove;
    picker.gainThreshold = 0;
    picker.badCount = 0;
    picker.ttMove = hashMove;
    picker.cursor = 0;
    picker.spare = excluded;
    picker.targets = pos.pieces[menOf(Them)];
    const Bitboard theirMinors =
        pos.pieces[TheirKnight] | pos.pieces[TheirLightBishop] | pos.pieces[TheirDarkBishop];
    int i = 0;              // moves counted, pruned ones included
    bool tactical = false;  // the picker runs a tactical sequence instead of the normal stages

    if constexpr (!Shallow) {
        // Far below beta only the hash move, captures and quiet checks can help.
        const int futilityDepth = All ? depth - 5 : depth - 4;
        if (depth < tuning.PruningMaxDepth && beta - eval >= tuning.FutilityDepthMargin * futilityDepth) {
            picker.stage = StageTacticalHashMove;
            tactical = true;
            i = 1;
            if (beta - eval >= tuning.FutilityDepthMargin * (depth - 2))
                picker.targets &= ~pos.pieces[TheirPawn];
        }
    } else {
        const int gap = beta - eval - 32 * depth;
        if (eval + 8 * depth + tuning.ShallowFutilityMargin < beta) {
            // Captures of men too small to close the gap are left out; an attacked one is
            // counted as won instead.
            picker.stage = StageTacticalHashMove;
            tactical = true;
            if (gap >= tuning.ShallowPawnFutilityMargin) {
                picker.targets &= ~pos.pieces[TheirPawn];
                if (attacksEnemyPawn<Us>(pos)) best += tuning.ShallowPawnValue;
            }
            if (depth <= 3) {
                if (gap >= tuning.ShallowMinorFutilityMargin) {
                    picker.targets &= ~theirMinors;
                    best += tuning.ShallowMinorValue;
                }
                if (gap >= tuning.ShallowRookFutilityMargin) {
                    picker.targets &= ~pos.pieces[TheirRook];
                    best += tuning.ShallowRookValue;
                }
            }
        } else if (depth <= 3 && eval + 4 * depth < beta) {
            // Close below beta: tactical moves and the quiet moves that gained enough before.
            picker.stage = StageQuiescenceHashMove;
            tactical = true;
            picker.gainThreshold = beta - 4 * depth - eval + 5;
        }
    }

    const ZeroWindowFrame frame{beta,
                                depth,
                                eval,
                                hashMove,
                                excluded,
                                singular,
                                xrayBlockersOf<Us>(*st),
                                moveTo(st->lastMove),
                                st->capturedPiece != 0,
                                hasPieces<Us>(pos)};
    bool splitTried = false;

    for (;;) {
        if constexpr (!Exclusion) {
            if (depth >= tuning.SplitMinDepth && !splitTried && i >= 1 &&
                picker.stage >= StageGenerateCaptures && picker.stage <= StageQuiets &&
                (!All || tuning.AllNodeSplit) && anyThreadIdle()) {
                splitTried = true;
                constexpr SplitKind SplitAs = Cut ? SplitCut : All ? SplitAll : SplitShallow;
                int splitResult;
                // A shallow node hands on its fail-soft best score; the participants raise it.
                const bool splitDone =
                    split(pos, picker, depth, Shallow ? best : beta, beta, SplitAs, splitResult, &frame, i);
                if (abortRaised(pos)) return 0;
                if (splitDone) return splitResult;
            }
        }

        const MoveEntry entry = nextMove<Us>(pos, picker);
        if (!entry) break;
        int v;
        bool quiet;
        const MoveStep step = zeroWindowMove<Us, Kind>(pos, frame, entry, picker.stage, i, v, quiet);
        if (step == MoveStep::NotCounted) continue;
        if (step != MoveStep::Searched) {
            ++i;
            if (Shallow && step == MoveStep::SkippedAsDraw) best = std::max(best, 0);
            continue;
        }
        if (abortRaised(pos)) return 0;

        const Move move = entryMove(entry);
        if (v >= beta) {
            if (quiet) rewardQuiet(pos, move, depth);
            storeFailHigh<Kind>(key, move, depth, v, generation);
            return v;
        }
        ++i;
        if (Shallow) best = std::max(best, v);
        if (quiet && eval > beta - tuning.HistoryPenaltyMargin) historyPenalty(pos, move, depth);
    }

    if constexpr (All) {
        if (i == 0 && !tactical) return DrawValue;  // stalemate
        storeUpper(key, depth, beta - 1, generation);
        return beta - 1;
    } else if constexpr (Shallow) {
        if (i == 0 && !tactical) return DrawValue;
        storeUpperFlags(key, depth, best, 0, generation);
        return best;
    } else {
        if (Cut && i == 0 && !tactical) return DrawValue;
        storeUpperFlags(key, depth, beta - 1, 0, generation);
        return beta - 1;
    }
}

// The move loop of a side in check: the hash move first, then every evasion in history
// order; no forward pruning, later evasions reduced.
template <Side Us, NodeKind Kind>
static int zeroWindowEvasions(Position& pos, int beta, int depth, Move excluded, Move hashMove,
                              uint64_t key) {
    constexpr Side Them = opposite(Us);
    constexpr NodeKind ChildKind = childKind(Kind);
    constexpr bool All = Kind == AllNode, Exclusion = Kind == ExclusionNode, Shallow = Kind == ShallowNode;
    constexpr uint8_t OurKing = pieceFor(Us, King);

    StateRecord* const st = pos.state;
    const uint8_t generation = st->ttGeneration;
    const int evasionExtension = tuning.EvasionExtension;

    int singular = 0;
    if constexpr (All) {
        if (depth >= tuning.SingularMinDepth && hashMove && isPseudoLegal<Us>(pos, hashMove)) {
            singular = singularExtension<Us, true>(pos, beta, depth, hashMove);
            if (abortRaised(pos)) return 0;
        }
    }

    MoveEntry list[MaxMoves];
    MoveEntry* const end = generateEvasions<Us>(pos, list, ~Bitboard(0));
    orderEvasions<Us>(pos, list, end, hashMove);

    const int storeDepth = Shallow ? std::max(depth, 1) : depth;
    int best = matedScore(pos.ply);
    bool anyLegal = false;
    bool skipped = false;
    int n = 0;  // evasions searched so far
    for (MoveEntry* e = list; e < end; ++e) {
        const Move move = entryMove(*e);
        if (Exclusion && move == excluded) continue;
        const bool capture = isCapture<Us>(pos, move);
        if (beta > 0 && st->rule50 >= 2 && !capture && !isPromotion(move) && undoesPreviousMove(pos, move)) {
            best = std::max(best, 0);
            continue;
        }
        // A shallow node does not interpose a man that is simply lost, unless mated anyway.
        if constexpr (Shallow) {
            const bool interposition = !capture && pos.board[moveFrom(move)] != OurKing;
            if (interposition && beta > -tuning.QSMatedZone && move != hashMove && !seeOk<Us>(pos, move)) {
                skipped = true;
                continue;
            }
        }

        const int lazyMargin = Shallow ? tuning.ShallowLazyMargin : tuning.NodeLazyMargin;
        if (!makeLegalMove<Us>(pos, move, beta - lazyMargin, beta + lazyMargin)) continue;
        anyLegal = true;
        const bool check = givesCheck<Us>(pos);
        const int extension = All && move == hashMove ? singular : 0;

        int v;
        if (evalHashShortcut(pos, depth)) {
            v = -pos.state->evalScore;
        } else if (check) {
            const int childDepth = Shallow            ? depth + evasionExtension - 1
                                   : All && extension ? depth + extension - 2
                                                      : depth - 1;
            v = -searchChild<Them, ChildKind>(pos, 1 - beta, childDepth, true);
        } else {
            int fullDepth = depth + evasionExtension - 2;
            if (All) fullDepth = depth + extension - 2 + (evasionExtension && !extension ? 1 : 0);
            int reducedDepth = fullDepth;
            if (!Shallow && n >= 1) {
                reducedDepth = All ? depth + evasionExtension - 3 - std::min(n, 2) -
                                         (depth > 8 ? floorLog2(unsigned(depth - 7)) : 0)
                                   : depth + evasionExtension - 2 - std::min(n, 2);
            }
            v = -searchChild<Them, ChildKind>(pos, 1 - beta, reducedDepth, false);
            if (reducedDepth != fullDepth && v >= beta)
                v = -searchChild<Them, ChildKind>(pos, 1 - beta, fullDepth, false);
        }
        unmakeMove<Us>(pos, move);
        if (abortRaised(pos)) return 0;
        ++n;

        if (v > best) best = v;
        if (v >= beta) {
            storeFailHigh<Kind>(key, move, storeDepth, v, generation);
            return v;
        }
    }

    // Evasions were left out: no mate score is claimed.
    if (Shallow && skipped && best < -tuning.QSMatedZone) best = beta - 1;
    if (anyLegal) {
        if constexpr (All)
            storeUpper(key, depth, best, generation);
        else
            storeUpperFlags(key, storeDepth, best, 0, generation);
    }
    return best;
}

template <Side Us, NodeKind Kind, bool InCheck>
static int zeroWindow(Position& pos, int beta, int depth, Move excluded) {
    noteDepth(pos);
    constexpr bool Exclusion = Kind == ExclusionNode, Shallow = Kind == ShallowNode;

    if (beta < -ZeroWindowBound) return -ZeroWindowBound;
    if (beta > ZeroWindowBound) return ZeroWindowBound;
    Move& slot = bestMoveSlot(pos);
    slot = NoMove;
    if (abortRaised(pos)) return 0;
    if (const int draw = ruleDrawScore(pos, InCheck); draw != NoScore) return draw;
    if (atPlyLimit(pos)) return plyLimitScore(pos, beta - 1, beta);

    const StateRecord* const st = pos.state;
    const uint64_t key = Exclusion ? exclusionKey(st->key, excluded) : st->key;
    const uint8_t generation = st->ttGeneration;

    // Transposition probe. A usable bound ends the node under the family's condition and
    // refreshes the entry's age (the shallow family leaves the age alone and hands on the
    // entry's move).
    Move hashMove = NoMove;
    {
        const bool nullAllowed = nullMoveAllowed<Us>(pos);
        const uint32_t check = ttCheck(key);
        TTEntry* const cluster = ttCluster(key);
        int hashDepth = -1;
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            TTEntry& e = cluster[k];
            if (e.check != check) continue;
            if (!Exclusion && (e.flags & TTNoMoves)) return InCheck ? matedScore(pos.ply) : DrawValue;
            if (e.move && e.lowerDepth > hashDepth) {
                hashMove = Move(e.move);
                hashDepth = e.lowerDepth;
            }
            if (e.lowerDepth && e.lowerDepth >= depth && e.lowerScore >= beta &&
                lowerBoundUsable<Kind, InCheck>(e, nullAllowed)) {
                if (Shallow)
                    slot = Move(e.move);
                else
                    e.generation = generation;
                return e.lowerScore;
            }
            if (e.upperDepth && e.upperDepth >= depth && e.upperScore < beta && upperBoundUsable<Kind>(e)) {
                if (!Shallow) e.generation = generation;
                return e.upperScore;
            }
        }
    }

    // Razoring: hopelessly below beta, the node fails low at once.
    if constexpr (Kind != CutNode)
        if (st->evalScore + razorMargin<Kind>() < beta) return beta - 1;

    if constexpr (InCheck)
        return zeroWindowEvasions<Us, Kind>(pos, beta, depth, excluded, hashMove, key);
    else
        return zeroWindowMoves<Us, Kind>(pos, beta, depth, excluded, hashMove, key);
}

template <Side Us>
int cutNodeSearch(Position& pos, int beta, int depth) {
    return zeroWindow<Us, CutNode, false>(pos, beta, depth, NoMove);
}
template <Side Us>
int cutNodeSearchInCheck(Position& pos, int beta, int depth) {
    return zeroWindow<Us, CutNode, true>(pos, beta, depth, NoMove);
}
template <Side Us>
int allNodeSearch(Position& pos, int beta, int depth) {
    return zeroWindow<Us, AllNode, false>(pos, beta, depth, NoMove);
}
template <Side Us>
int allNodeSearchInCheck(Position& pos, int beta, int depth) {
    return zeroWindow<Us, AllNode, true>(pos, beta, depth, NoMove);
}
template <Side Us>
int exclusionSearch(Position& pos, int beta, int depth, Move excluded) {
    return zeroWindow<Us, ExclusionNode, false>(pos, beta, depth, excluded);
}
template <Side Us>
int exclusionSearchInCheck(Position& pos, int beta, int depth, Move excluded) {
    return zeroWindow<Us, ExclusionNode, true>(pos, beta, depth, excluded);
}
template <Side Us>
int shallowSearch(Position& pos, int beta, int depth) {
    return zeroWindow<Us, ShallowNode, false>(pos, beta, depth, NoMove);
}
template <Side Us>
int shallowSearchInCheck(Position& pos, int beta, int depth) {
    return zeroWindow<Us, ShallowNode, true>(pos, beta, depth, NoMove);
}

template <Side Us, SplitKind Kind>
MoveStep splitZeroWindowMove(Position& pos, const ZeroWindowFrame& frame, MoveEntry entry, int stage, int i,
                             int& v, bool& quiet) {
    constexpr NodeKind AsKind = Kind == SplitCut ? CutNode : Kind == SplitAll ? AllNode : ShallowNode;
    return zeroWindowMove<Us, AsKind>(pos, frame, entry, stage, i, v, quiet);
}

#define ORVO_INSTANTIATE(Us)                                                                               \
    template MoveStep splitZeroWindowMove<Us, SplitCut>(Position&, const ZeroWindowFrame&, MoveEntry, int, \
                                                        int, int&, bool&);                                 \
    template MoveStep splitZeroWindowMove<Us, SplitAll>(Position&, const ZeroWindowFrame&, MoveEntry, int, \
                                                        int, int&, bool&);                                 \
    template MoveStep splitZeroWindowMove<Us, SplitShallow>(Position&, const ZeroWindowFrame&, MoveEntry,  \
                                                            int, int, int&, bool&);                        \
    template int cutNodeSearch<Us>(Position&, int, int);                                                   \
    template int cutNodeSearchInCheck<Us>(Position&, int, int);                                            \
    template int allNodeSearch<Us>(Position&, int, int);                                                   \
    template int allNodeSearchInCheck<Us>(Position&, int, int);                                            \
    template int exclusionSearch<Us>(Position&, int, int, Move);                                           \
    template int exclusionSearchInCheck<Us>(Position&, int, int, Move);                                    \
    template int shallowSearch<Us>(Position&, int, int);                                                   \
    template int shallowSearchInCheck<Us>(Position&, int, int);
ORVO_INSTANTIATE(White)
ORVO_INSTANTIATE(Black)
