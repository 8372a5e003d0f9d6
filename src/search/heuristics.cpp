#include "search/heuristics.h"

#include "board/bitboard.h"

template <Side Us>
void orderEvasions(const Position& pos, MoveEntry* begin, MoveEntry* end, Move hashMove) {
    constexpr Side Them = opposite(Us);
    const Bitboard theirMen = pos.pieces[menOf(Them)];
    const StateRecord& st = *pos.state;

    for (MoveEntry* e = begin; e < end; ++e) {
        const Move m = entryMove(*e);
        if (m == hashMove)
            *e = 0xFFFF0000u | m;
        else if ((theirMen & SquareBB[moveTo(m)]) || moveType(m) == MoveEnPassant)
            continue;  // a capture keeps its generated key
        else if (m == st.killer1)
            *e = 0x7FFF8000u | m;
        else if (m == st.killer2)
            *e = 0x7FFF0000u | m;
        else
            *e = (uint32_t(historyOf(pos, m)) << 15) | m;
    }
    // Stable insertion sort, highest entry first.
    for (MoveEntry* p = begin + 1; p < end; ++p) {
        const MoveEntry entry = *p;
        MoveEntry* q = p;
        for (; q > begin && q[-1] < entry; --q) *q = q[-1];
        *q = entry;
    }
}

template void orderEvasions<White>(const Position&, MoveEntry*, MoveEntry*, Move);
template void orderEvasions<Black>(const Position&, MoveEntry*, MoveEntry*, Move);
