#include "eval/pawnmasks.h"

#include "board/bitboard.h"
#include "eval/evalterms.h"

Bitboard AdjacentFiles[8];
Bitboard FilesLeftOf[8];
Bitboard FilesRightOf[8];
Bitboard RanksAtOrAhead[2][8];
Bitboard FrontSpan[2][64];
Bitboard SupporterMask[2][64];
Bitboard ConnectedMask[2][64];
Bitboard ShelterDiagonal[2][64];

void initEvalMasks() {
    for (int f = 0; f < 8; ++f) {
        AdjacentFiles[f] = (f > 0 ? FileMask[f - 1] : 0) | (f < 7 ? FileMask[f + 1] : 0);
        FilesLeftOf[f] = FilesRightOf[f] = 0;
        for (int g = 0; g < f; ++g) FilesLeftOf[f] |= FileMask[g];
        for (int g = f + 1; g < 8; ++g) FilesRightOf[f] |= FileMask[g];
    }
    for (int r = 0; r < 8; ++r) {
        RanksAtOrAhead[White][r] = RanksAtOrAhead[Black][r] = 0;
        for (int q = r; q < 8; ++q) RanksAtOrAhead[White][r] |= RankMask[q];
        for (int q = 0; q <= 7 - r; ++q) RanksAtOrAhead[Black][r] |= RankMask[q];
    }
    for (Square s = 0; s < 64; ++s) {
        const int f = fileOf(s), r = rankOf(s);
        for (int side = 0; side < 2; ++side) {
            // The square's own rank and rank direction as seen by this side.
            const int ahead = side == White ? 1 : -1;
            Bitboard front = 0, support = 0, connected = 0, diagonal = 0;
            for (int q = r + ahead; q >= 0 && q < 8; q += ahead) front |= SquareBB[makeSquare(f, q)];
            for (int q = r; q >= 0 && q < 8; q -= ahead) support |= AdjacentFiles[f] & RankMask[q];
            for (int q = r, n = 0; n < 3 && q >= 0 && q < 8; q -= ahead, ++n)
                connected |= AdjacentFiles[f] & RankMask[q];
            const int across = f <= 3 ? 1 : -1;  // toward the centre
            for (int g = f + across, q = r + ahead; g >= 0 && g < 8 && q >= 0 && q < 8;
                 g += across, q += ahead)
                diagonal |= SquareBB[makeSquare(g, q)];
            FrontSpan[side][s] = front;
            SupporterMask[side][s] = support;
            ConnectedMask[side][s] = connected;
            ShelterDiagonal[side][s] = diagonal;
        }
    }
}
