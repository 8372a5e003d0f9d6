// The staged move picker: hands a node its moves one at a time and generates lazily, so
// that a cut-off after the hash move or a good capture costs no further generation.
//
// Three sequences, chosen by the starting stage:
//   0..6    node searches: hash move, good captures, killer1, killer2, quiet moves by
//           history, bad captures;
//   7..10   tactical only: hash move, captures of the men on `targets`, quiet checks;
//   12..16  quiescence-like: hash move, all captures, quiet checks, quiet moves whose
//           positional gain reaches `gainThreshold`.
// Stage 11 returns a list the caller has filled into `moves` (sorted evasions).
#pragma once

#include <cstdint>

#include "board/position.h"
#include "core/types.h"

enum PickerStage : int32_t {
    StageHashMove = 0,
    StageGenerateCaptures = 1,
    StageGoodCaptures = 2,
    StageKiller2 = 3,
    StageGenerateQuiets = 4,
    StageQuiets = 5,
    StageBadCaptures = 6,
    StageTacticalHashMove = 7,
    StageGenerateTargetCaptures = 8,
    StageTargetCaptures = 9,
    StageQuietChecks = 10,
    StageGivenList = 11,
    StageQuiescenceHashMove = 12,
    StageGenerateAllCaptures = 13,
    StageAllCaptures = 14,
    StageQuiescenceChecks = 15,
    StageGainMoves = 16,
    StageExhausted = 17,
};

// One per node, in the searching routine's frame. The caller sets stage, ttMove and,
// where the sequence uses them, gainThreshold and targets.
struct MovePicker {
    int32_t stage;
    int32_t gainThreshold;  // minimum positional gain of the gain-move stage
    int32_t badCount;       // entries in badCaptures
    int32_t ttMove;         // the hash move, 0 if none
    int32_t cursor;         // next entry of moves (or of badCaptures in stage 6)
    int32_t spare;          // not read by the picker; the exclusion search keeps its excluded move here
    Bitboard targets;       // capture targets of the tactical sequence
    MoveEntry moves[MaxMoves];
    MoveEntry badCaptures[MaxMoves];  // captures deferred by the exchange test
};

// The next move of the node, or 0 when it has no further moves. Hash move and killers come
// back as bare moves, everything else as list entries (bit 15 the check hint, the upper half
// the ordering key); the caller takes the low 15 bits as the move. Needs the attack map of
// the current record; killers are read from it.
template <Side Us>
MoveEntry nextMove(Position& pos, MovePicker& picker);

// Removes ttMove, killer1 and killer2 from the list [begin, end) and sorts the rest in
// descending order of the whole entry, equal entries keeping their order. The list stays
// terminated by 0 at its (possibly shorter) end.
void sortQuiets(MoveEntry* begin, MoveEntry* end, Move ttMove, Move killer1, Move killer2);

// The capture class of a list entry (bits 20-21 of the capture key): non-zero for a
// winning or even capture and for every king capture.
inline uint32_t captureClass(MoveEntry entry) { return (entry >> 20) & 3; }
