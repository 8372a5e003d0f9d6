#include "board/bitboard.h"

#include "board/zobrist.h"
#include "platform/platform.h"

Bitboard SquareBB[64];
Bitboard SquareClear[64];
const Bitboard FileMask[8] = {
    0x0101010101010101ull, 0x0202020202020202ull, 0x0404040404040404ull, 0x0808080808080808ull,
    0x1010101010101010ull, 0x2020202020202020ull, 0x4040404040404040ull, 0x8080808080808080ull,
};
const Bitboard RankMask[8] = {
    0x00000000000000FFull, 0x000000000000FF00ull, 0x0000000000FF0000ull, 0x00000000FF000000ull,
    0x000000FF00000000ull, 0x0000FF0000000000ull, 0x00FF000000000000ull, 0xFF00000000000000ull,
};
Bitboard KnightAttacks[64];
Bitboard KingAttacks[64];
Bitboard PawnAttacks[2][64];
Bitboard BishopRays[64];
Bitboard RookRays[64];
Bitboard QueenRays[64];
Bitboard BishopRaysClear[64];
Bitboard RookRaysClear[64];
uint8_t LineType[64][64];
Bitboard KingEvasion[64][64];
Bitboard BlockOrCapture[64][64];
Bitboard PassedPawnSpan[2][64];

MagicEntry BishopMagics[64];
MagicEntry RookMagics[64];
Bitboard BishopAttackTable[BishopTableSize];
Bitboard RookAttackTable[RookTableSize];

uint8_t popCountHardware;

// clang-format off
const uint8_t BishopIndexBits[64] = {
    6, 5, 5, 5, 5, 5, 5, 6,
    5, 5, 5, 5, 5, 5, 5, 5,
    5, 5, 7, 7, 7, 7, 5, 5,
    5, 5, 7, 9, 9, 7, 5, 5,
    5, 5, 7, 9, 9, 7, 5, 5,
    5, 5, 7, 7, 7, 7, 5, 5,
    5, 5, 5, 5, 5, 5, 5, 5,
    6, 5, 5, 5, 5, 5, 5, 6,
};
const uint8_t RookIndexBits[64] = {
    12, 11, 11, 11, 11, 11, 11, 12,
    11, 10, 10, 10, 10, 10, 10, 11,
    11, 10, 10, 10, 10, 10, 10, 11,
    11, 10, 10, 10, 10, 10, 10, 11,
    11, 10, 10, 10, 10, 10, 10, 11,
    11, 10, 10, 10, 10, 10, 10, 11,
    11, 10, 10, 10, 10, 10, 10, 11,
    12, 11, 11, 11, 11, 11, 11, 12,
};
// clang-format on

// Multipliers found by tools/find_magics.cpp for the index sizes above (a1 first).
const Bitboard BishopMultipliers[64] = {
    0x26101008A48C0040ull, 0x006082020A002900ull, 0x6810010619200000ull, 0x08281A0520000408ull,
    0x0001104001000400ull, 0x0018901008048400ull, 0x00040A0210245280ull, 0x000200210808A402ull,
    0x9140048410821200ull, 0x0800091010820041ull, 0x20504804832202C0ull, 0x0100091401081000ull,
    0x8021011140000012ull, 0x0810020804450400ull, 0x208B0542109008A2ull, 0x0080084A08040204ull,
    0x0040E2A80811244Cull, 0x2505022008008108ull, 0x0430220100420040ull, 0x010A040420220040ull,
    0x1105000290400000ull, 0x0093001200822120ull, 0x4000A62048043004ull, 0x280120048A015004ull,
    0x006090002A020814ull, 0x44042000240800D0ull, 0x01102800040A4400ull, 0x1004080080220040ull,
    0x0001001011004024ull, 0x0010044000805040ull, 0x0914041200820100ull, 0x0004821012821480ull,
    0x0024040500C05021ull, 0x0088611002080200ull, 0x0116080A00040020ull, 0x4000020080080080ull,
    0x2450450140840040ull, 0x0000880201484100ull, 0x0222020404020092ull, 0x8081110600002E00ull,
    0x2842101105000801ull, 0x1100809008001025ull, 0x00020202221C0400ull, 0x0422014022009020ull,
    0x0210046102100C00ull, 0xC004008082029102ull, 0x00AA461801101200ull, 0x0404080080201108ull,
    0x020542108C205002ull, 0x0410544804100100ull, 0x0040910841100000ull, 0x0400200042021100ull,
    0x00004204850400C0ull, 0x0200100410A42102ull, 0x1040020801210102ull, 0x0805040410420000ull,
    0x2884804130100200ull, 0x800C262201242000ull, 0x1058000194108800ull, 0x0014221054420204ull,
    0x0104000012A02200ull, 0x0200881003300100ull, 0x0140400202840100ull, 0x1264043818010098ull,
};

const Bitboard RookMultipliers[64] = {
    0x6C80104004208000ull, 0x0840092002C03000ull, 0x1900200010400900ull, 0x0880100008000480ull,
    0x4200100420080200ull, 0x8100020100080400ull, 0x0200040110886200ull, 0x0200008040220411ull,
    0x0404800084400220ull, 0x0000401000402000ull, 0x0086001081220440ull, 0x0408800800100280ull,
    0x000A001201040820ull, 0x8848800200840080ull, 0x4001000100040200ull, 0x0442000102105084ull,
    0x9080010020804100ull, 0x0040404000201009ull, 0x0000808010002009ull, 0x2200090021D00100ull,
    0x0008008008040080ull, 0x0004004002010040ull, 0x0011040008015042ull, 0x00000A0001768104ull,
    0x0000800080204009ull, 0x2010004140002001ull, 0x9800200280100080ull, 0x1000100080080080ull,
    0x0442000A00049020ull, 0x2100040080020080ull, 0x0800120400900148ull, 0x0010040A00128541ull,
    0x2800804000800030ull, 0x1010002000400041ull, 0x4000200011004100ull, 0x0610008410800800ull,
    0x0400802402800800ull, 0xC100020080800400ull, 0x0002000802000401ull, 0x0182085882000401ull,
    0x0220204000808000ull, 0x2860100040024022ull, 0x0001002004110040ull, 0x99101042000A0020ull,
    0x0004080004008080ull, 0x0010040002008080ull, 0x2012004881020004ull, 0x8300842444820011ull,
    0x0088403882010200ull, 0x0820400080210100ull, 0x0110910040A00300ull, 0x0801100280080480ull,
    0x0242009008200600ull, 0x1002000489500200ull, 0x0040800200010080ull, 0x0091800041000080ull,
    0x0000209300488001ull, 0x04C1002414824001ull, 0x020020000B001041ull, 0x7000100004200901ull,
    0x8002002004100802ull, 0x30010002084C0007ull, 0x0888221800813004ull, 0x10810C0301402082ull,
};

void initPopCount() { popCountHardware = hasPopcnt() ? 1 : 0; }

namespace {

bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// Squares reached from s by the given steps, each step taken once.
Bitboard stepTargets(Square s, const int (*steps)[2], int count) {
    Bitboard b = 0;
    for (int i = 0; i < count; ++i) {
        const int f = fileOf(s) + steps[i][0], r = rankOf(s) + steps[i][1];
        if (onBoard(f, r)) b |= Bitboard(1) << makeSquare(f, r);
    }
    return b;
}

constexpr int DiagonalSteps[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
constexpr int StraightSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

// Attacks of a slider walked square by square: each ray up to and including the first
// occupied square or the board edge. Only used to build the tables.
Bitboard slowSliderAttacks(Square s, Bitboard occupied, const int (*steps)[2]) {
    Bitboard b = 0;
    for (int d = 0; d < 4; ++d) {
        int f = fileOf(s) + steps[d][0], r = rankOf(s) + steps[d][1];
        while (onBoard(f, r)) {
            const Bitboard bit = Bitboard(1) << makeSquare(f, r);
            b |= bit;
            if (occupied & bit) break;
            f += steps[d][0];
            r += steps[d][1];
        }
    }
    return b;
}

uint8_t lineOf(Square a, Square b) {
    const int df = fileOf(b) - fileOf(a), dr = rankOf(b) - rankOf(a);
    if (dr == 0) return LineRank;
    if (df == 0) return LineFile;
    if (df == dr) return LineDiagonal;
    if (df == -dr) return LineAntiDiagonal;
    return LineNone;
}

int sign(int x) { return (x > 0) - (x < 0); }

// Squares strictly between two aligned squares.
Bitboard squaresBetween(Square a, Square b) {
    const int df = sign(fileOf(b) - fileOf(a)), dr = sign(rankOf(b) - rankOf(a));
    Bitboard between = 0;
    int f = fileOf(a) + df, r = rankOf(a) + dr;
    while (makeSquare(f, r) != b) {
        between |= Bitboard(1) << makeSquare(f, r);
        f += df;
        r += dr;
    }
    return between;
}

void initMagicKind(MagicEntry* entries, Bitboard* table, const uint8_t* bits, const Bitboard* multipliers,
                   bool bishop) {
    size_t offset = 0;
    for (Square s = 0; s < 64; ++s) {
        MagicEntry& m = entries[s];
        if (bishop) {
            m.mask = BishopRays[s] & 0x007E7E7E7E7E7E00ull;
        } else {
            Bitboard edges = 0;
            if (fileOf(s) != 0) edges |= FileMask[0];
            if (fileOf(s) != 7) edges |= FileMask[7];
            if (rankOf(s) != 0) edges |= RankMask[0];
            if (rankOf(s) != 7) edges |= RankMask[7];
            m.mask = RookRays[s] & ~edges;
        }
        m.magic = multipliers[s];
        m.shift = 64 - bits[s];
        m.attacks = table + offset;
        offset += size_t(1) << bits[s];

        Square maskSquares[12];
        int k = 0;
        for (Bitboard b = m.mask; b; b &= b - 1) maskSquares[k++] = lowestSquare(b);
        for (uint32_t j = 0; j < (1u << k); ++j) {
            Bitboard occupied = 0;
            for (int n = 0; n < k; ++n)
                if (j & (1u << n)) occupied |= Bitboard(1) << maskSquares[n];
            table[(m.attacks - table) + ((occupied * m.magic) >> m.shift)] =
                slowSliderAttacks(s, occupied, bishop ? DiagonalSteps : StraightSteps);
        }
    }
}

}  // namespace

void initGeometry() {
    static const int KnightSteps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                          {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    static const int KingSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    static const int WhitePawnSteps[2][2] = {{-1, 1}, {1, 1}};
    static const int BlackPawnSteps[2][2] = {{-1, -1}, {1, -1}};

    for (Square s = 0; s < 64; ++s) {
        SquareBB[s] = Bitboard(1) << s;
        SquareClear[s] = ~SquareBB[s];
        KnightAttacks[s] = stepTargets(s, KnightSteps, 8);
        KingAttacks[s] = stepTargets(s, KingSteps, 8);
        PawnAttacks[White][s] = stepTargets(s, WhitePawnSteps, 2);
        PawnAttacks[Black][s] = stepTargets(s, BlackPawnSteps, 2);
        BishopRays[s] = slowSliderAttacks(s, 0, DiagonalSteps);
        RookRays[s] = slowSliderAttacks(s, 0, StraightSteps);
        QueenRays[s] = BishopRays[s] | RookRays[s];
        BishopRaysClear[s] = ~BishopRays[s];
        RookRaysClear[s] = ~RookRays[s];
    }

    for (Square k = 0; k < 64; ++k) {
        for (Square s = 0; s < 64; ++s) {
            const uint8_t line = lineOf(k, s);
            LineType[k][s] = line;
            KingEvasion[k][s] = KingAttacks[k];
            BlockOrCapture[k][s] = SquareBB[s];
            if (line == LineNone || s == k) continue;
            // The two neighbours of k on the line through s, one on each side.
            Bitboard lineNeighbours = 0;
            for (const auto& step : KingSteps) {
                const int f = fileOf(k) + step[0], r = rankOf(k) + step[1];
                if (onBoard(f, r) && lineOf(k, makeSquare(f, r)) == line)
                    lineNeighbours |= Bitboard(1) << makeSquare(f, r);
            }
            KingEvasion[k][s] = (KingAttacks[k] & ~lineNeighbours) | (KingAttacks[k] & SquareBB[s]);
            BlockOrCapture[k][s] |= squaresBetween(k, s);
        }
    }

    for (Square s = 0; s < 64; ++s) {
        Bitboard files = FileMask[fileOf(s)];
        if (fileOf(s) > 0) files |= FileMask[fileOf(s) - 1];
        if (fileOf(s) < 7) files |= FileMask[fileOf(s) + 1];
        Bitboard above = 0, below = 0;
        for (int r = rankOf(s) + 1; r < 8; ++r) above |= RankMask[r];
        for (int r = rankOf(s) - 1; r >= 0; --r) below |= RankMask[r];
        PassedPawnSpan[White][s] = files & above;
        PassedPawnSpan[Black][s] = files & below;
    }

    zobristInit();
}

void initMagics() {
    initMagicKind(BishopMagics, BishopAttackTable, BishopIndexBits, BishopMultipliers, true);
    initMagicKind(RookMagics, RookAttackTable, RookIndexBits, RookMultipliers, false);
}
