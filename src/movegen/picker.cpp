#include "movegen/picker.h"

#include <cstring>
#include <utility>

#include "movegen/generate.h"
#include "movegen/legality.h"
#include "movegen/see.h"

// Selection: swaps the largest remaining entry into the cursor slot (of equal entries the
// earlier one stays) and hands it out; the hash move, already tried, is passed over.
// 0 when the list is exhausted.
static MoveEntry selectNext(MovePicker& picker) {
    for (;;) {
        MoveEntry* const slot = picker.moves + picker.cursor;
        if (*slot == 0) return 0;
        for (MoveEntry* e = slot + 1; *e; ++e)
            if (*e > *slot) std::swap(*e, *slot);
        ++picker.cursor;
        if (entryMove(*slot) != Move(picker.ttMove)) return *slot;
    }
}

// A killer is offered when it is a quiet move of this position other than the hash move.
template <Side Us>
static bool killerPlayable(const Position& pos, Move killer, int32_t ttMove) {
    return killer != NoMove && killer != Move(ttMove) && pos.board[moveTo(killer)] == NoPiece &&
           isPseudoLegal<Us>(pos, killer);
}

// Hands out the entries of a stored list in order and stays on its terminator.
static MoveEntry nextInOrder(MovePicker& picker) {
    const MoveEntry e = picker.moves[picker.cursor];
    if (e) ++picker.cursor;
    return e;
}

// The same for a generated list that may hold the hash move, handed out before it.
static MoveEntry nextInOrderButHashMove(MovePicker& picker) {
    MoveEntry e;
    while ((e = nextInOrder(picker)) && entryMove(e) == Move(picker.ttMove)) {}
    return e;
}

template <Side Us>
MoveEntry nextMove(Position& pos, MovePicker& picker) {
    constexpr Side Them = opposite(Us);
    const Bitboard theirMen = pos.pieces[menOf(Them)];
    const StateRecord& st = *pos.state;
    MoveEntry e;

    for (;;) {
        switch (picker.stage) {
            case StageHashMove:
            case StageTacticalHashMove:
            case StageQuiescenceHashMove:
                ++picker.stage;
                if (picker.ttMove && isPseudoLegal<Us>(pos, Move(picker.ttMove)))
                    return MoveEntry(picker.ttMove);
                break;

            case StageGenerateCaptures:
                generateCaptures<Us>(pos, picker.moves, theirMen);
                picker.cursor = 0;
                picker.badCount = 0;
                picker.stage = StageGoodCaptures;
                break;
            case StageGoodCaptures:
                while ((e = selectNext(picker))) {
                    if (captureClass(e) || seeOk<Us>(pos, entryMove(e))) return e;
                    picker.badCaptures[picker.badCount++] = e;
                }
                picker.stage = StageKiller2;
                if (killerPlayable<Us>(pos, st.killer1, picker.ttMove)) return st.killer1;
                break;
            case StageKiller2:
                picker.stage = StageGenerateQuiets;
                if (killerPlayable<Us>(pos, st.killer2, picker.ttMove)) return st.killer2;
                break;
            case StageGenerateQuiets: {
                MoveEntry* const end = generateQuiets<Us>(pos, picker.moves);
                sortQuiets(picker.moves, end, Move(picker.ttMove), st.killer1, st.killer2);
                picker.cursor = 0;
                picker.stage = StageQuiets;
                break;
            }
            case StageQuiets:
                if ((e = nextInOrder(picker))) return e;
                picker.badCaptures[picker.badCount] = 0;
                picker.cursor = 0;
                picker.stage = StageBadCaptures;
                break;
            case StageBadCaptures:
                e = picker.badCaptures[picker.cursor];
                if (e) ++picker.cursor;
                return e;

            case StageGenerateTargetCaptures:
                generateCaptures<Us>(pos, picker.moves, picker.targets);
                picker.cursor = 0;
                picker.stage = StageTargetCaptures;
                break;
            case StageTargetCaptures:
                if ((e = selectNext(picker))) return e;
                generateQuietChecks<Us>(pos, picker.moves, picker.targets);
                picker.cursor = 0;
                picker.stage = StageQuietChecks;
                break;
            case StageQuietChecks:
            case StageGainMoves:
                return nextInOrderButHashMove(picker);
            case StageGivenList:
                return nextInOrder(picker);

            case StageGenerateAllCaptures:
                generateCaptures<Us>(pos, picker.moves, theirMen);
                picker.cursor = 0;
                picker.stage = StageAllCaptures;
                break;
            case StageAllCaptures:
                if ((e = selectNext(picker))) return e;
                generateQuietChecks<Us>(pos, picker.moves, theirMen);
                picker.cursor = 0;
                picker.stage = StageQuiescenceChecks;
                break;
            case StageQuiescenceChecks:
                if ((e = nextInOrderButHashMove(picker))) return e;
                generateGainMoves<Us>(pos, picker.moves, picker.gainThreshold);
                picker.cursor = 0;
                picker.stage = StageGainMoves;
                break;

            default:
                return 0;
        }
    }
}

void sortQuiets(MoveEntry* begin, MoveEntry* end, Move ttMove, Move killer1, Move killer2) {
    auto removed = [&](MoveEntry e) {
        const Move m = entryMove(e);
        return m == ttMove || m == killer1 || m == killer2;
    };
    int n = int(end - begin);
    while (n > 0 && removed(begin[n - 1])) begin[--n] = 0;
    // Insertion from the back: begin[i + 1 .. n) is already in descending order.
    for (int i = n - 2; i >= 0; --i) {
        const MoveEntry e = begin[i];
        if (removed(e)) {
            std::memmove(begin + i, begin + i + 1, size_t(n - i - 1) * sizeof(MoveEntry));
            begin[--n] = 0;
            continue;
        }
        int j = i;
        for (; j + 1 < n && begin[j + 1] > e; ++j) begin[j] = begin[j + 1];
        begin[j] = e;
    }
}

template MoveEntry nextMove<White>(Position&, MovePicker&);
template MoveEntry nextMove<Black>(Position&, MovePicker&);
