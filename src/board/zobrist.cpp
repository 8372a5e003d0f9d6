#include "board/zobrist.h"

uint64_t psqKey[16][64];
uint64_t castleKey[16];
uint64_t epKey[8];
uint64_t randomState = 1;

namespace {

// One step of the linear congruential generator; the output uses bits 32-47.
uint64_t step() {
    randomState = randomState * 0x79A51220A173D66Dull + 0x499602D3ull;
    return (randomState >> 32) & 0xFFFF;
}

}  // namespace

uint64_t nextRandom() {
    const uint64_t a = step();
    const uint64_t b = step();
    const uint64_t c = step();
    const uint64_t d = step();
    return a << 48 | b << 32 | c << 16 | d;
}

uint32_t zobristFills = 0;

void zobristInit() {
    ++zobristFills;
    nextRandom();  // the first output is thrown away
    castleKey[0] = 0;
    castleKey[1] = nextRandom();
    castleKey[2] = nextRandom();
    castleKey[4] = nextRandom();
    castleKey[8] = nextRandom();
    for (int rights = 0; rights < 16; ++rights) {
        if ((rights & (rights - 1)) == 0) continue;  // none or a single right: drawn above
        uint64_t key = 0;
        for (int bit = 1; bit < 16; bit <<= 1)
            if (rights & bit) key ^= castleKey[bit];
        castleKey[rights] = key;
    }
    for (int code = 0; code < 16; ++code)
        for (int square = 0; square < 64; ++square) psqKey[code][square] = nextRandom();
    for (int file = 0; file < 8; ++file) epKey[file] = nextRandom();
}
