#include "eval/kpk.h"

#include <bit>
#include <cstring>

uint8_t KpkTable[2][64][64][6];

// The table is solved one pawn square at a time, from the seventh rank down, since a pawn
// never leaves its file and only moves forward. Within one pawn square every position is a
// pair of king squares; the positions of one White king square are held as a bitboard of
// Black king squares, so that a Black king move is a shift of that set.

static constexpr Bitboard FileABits = 0x0101010101010101ULL;
static constexpr Bitboard FileHBits = FileABits << 7;

static Bitboard bitOf(Square s) { return Bitboard(1) << s; }

// Every square next to some square of b.
static Bitboard neighbours(Bitboard b) {
    const Bitboard sideways = ((b << 1) & ~FileABits) | ((b >> 1) & ~FileHBits);
    const Bitboard row = b | sideways;
    return sideways | (row << 8) | (row >> 8);
}

static Bitboard whitePawnAttacks(Square s) {
    const Bitboard b = bitOf(s);
    return ((b << 7) & ~FileHBits) | ((b << 9) & ~FileABits);
}

static Bitboard sliderAttacks(Square from, Bitboard occupied, bool diagonals) {
    static constexpr int Steps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    Bitboard attacks = 0;
    for (int d = 0; d < (diagonals ? 8 : 4); ++d) {
        int file = fileOf(from) + Steps[d][0], rank = rankOf(from) + Steps[d][1];
        while (file >= 0 && file < 8 && rank >= 0 && rank < 8) {
            const Square s = makeSquare(file, rank);
            attacks |= bitOf(s);
            if (occupied & bitOf(s)) break;
            file += Steps[d][0], rank += Steps[d][1];
        }
    }
    return attacks;
}

// Black to move after White has promoted on square q to a queen (or a rook): White wins
// unless the new piece can be taken or Black is stalemated; every other such position of
// king and queen or king and rook against king is a win.
static bool promotionWins(Square whiteKing, Square blackKing, Square q, bool queen) {
    const Bitboard guarded = neighbours(bitOf(whiteKing));
    const Bitboard reach = neighbours(bitOf(blackKing));
    if ((reach & bitOf(q)) && !(guarded & bitOf(q))) return false;
    // The Black king does not shield the squares behind it from the new piece.
    const Bitboard piece = sliderAttacks(q, bitOf(whiteKing), queen);
    if (reach & ~(guarded | piece | bitOf(q))) return true;
    return (piece & bitOf(blackKing)) != 0;  // mate, or else stalemate
}

void initKpk() {
    std::memset(KpkTable, 0, sizeof(KpkTable));

    Bitboard zone[64];  // a king's square and its neighbours
    for (Square s = 0; s < 64; ++s) zone[s] = bitOf(s) | neighbours(bitOf(s));

    for (int file = 0; file < 8; ++file) {
        // Wins by rank of the pawn and White king square, as sets of Black king squares.
        Bitboard blackToMove[8][64] = {};
        Bitboard whiteToMove[8][64] = {};

        for (int rank = 6; rank >= 1; --rank) {
            const Square pawn = makeSquare(file, rank);
            const Square push = pawn + 8;
            const Bitboard pawnBit = bitOf(pawn);
            const Bitboard pawnAttacks = whitePawnAttacks(pawn);
            Bitboard legalBlack[64], legalWhite[64], blackTargets[64], pawnMoveWins[64];

            for (Square wk = 0; wk < 64; ++wk) {
                if (wk == pawn) {
                    legalBlack[wk] = legalWhite[wk] = blackTargets[wk] = pawnMoveWins[wk] = 0;
                    continue;
                }
                legalBlack[wk] = ~(zone[wk] | pawnBit);
                legalWhite[wk] = legalBlack[wk] & ~pawnAttacks;
                // Where the Black king may step; the pawn's square only when it is unguarded.
                blackTargets[wk] = ~zone[wk] & ~pawnAttacks;

                Bitboard wins = 0;
                if (wk != push) {
                    if (rank == 6) {
                        for (Bitboard b = legalWhite[wk] & ~bitOf(push); b; b &= b - 1) {
                            const Square bk = std::countr_zero(b);
                            if (promotionWins(wk, bk, push, true) || promotionWins(wk, bk, push, false))
                                wins |= bitOf(bk);
                        }
                    } else {
                        wins |= blackToMove[rank + 1][wk];
                        if (rank == 1 && wk != push + 8) wins |= blackToMove[3][wk] & ~bitOf(push);
                    }
                }
                pawnMoveWins[wk] = wins & legalWhite[wk];
            }

            Bitboard* const btm = blackToMove[rank];
            Bitboard* const wtm = whiteToMove[rank];
            for (bool changed = true; changed;) {
                changed = false;
                for (Square wk = 0; wk < 64; ++wk) {
                    Bitboard wins = pawnMoveWins[wk];
                    for (Bitboard to = zone[wk] & ~bitOf(wk) & ~pawnBit; to; to &= to - 1)
                        wins |= btm[std::countr_zero(to)];
                    wins &= legalWhite[wk];
                    if (wins != wtm[wk]) wtm[wk] = wins, changed = true;
                }
                for (Square wk = 0; wk < 64; ++wk) {
                    const Bitboard escapes = blackTargets[wk] & ~wtm[wk];
                    const Bitboard canMove = neighbours(blackTargets[wk]) | pawnAttacks;
                    const Bitboard wins = legalBlack[wk] & ~neighbours(escapes) & canMove;
                    if (wins != btm[wk]) btm[wk] = wins, changed = true;
                }
            }

            for (Square wk = 0; wk < 64; ++wk)
                for (Square bk = 0; bk < 64; ++bk) {
                    KpkTable[0][wk][bk][rank - 1] |= uint8_t(((btm[wk] >> bk) & 1) << file);
                    KpkTable[1][wk][bk][rank - 1] |= uint8_t(((wtm[wk] >> bk) & 1) << file);
                }
        }
    }
}
