// Searches magic multipliers for the slider lookup with the engine's fixed index sizes
// and prints them as C++ arrays. Run once; the output is pasted into board/bitboard.cpp.
//   g++ -O2 -std=c++20 tools/find_magics.cpp -o /tmp/find_magics && /tmp/find_magics
#include <cstdint>
#include <cstdio>
#include <vector>

using U64 = uint64_t;

// clang-format off
static const int BishopBits[64] = {
    6, 5, 5, 5, 5, 5, 5, 6,
    5, 5, 5, 5, 5, 5, 5, 5,
    5, 5, 7, 7, 7, 7, 5, 5,
    5, 5, 7, 9, 9, 7, 5, 5,
    5, 5, 7, 9, 9, 7, 5, 5,
    5, 5, 7, 7, 7, 7, 5, 5,
    5, 5, 5, 5, 5, 5, 5, 5,
    6, 5, 5, 5, 5, 5, 5, 6,
};
static const int RookBits[64] = {
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

static U64 rngState = 0x9E3779B97F4A7C15ull;
static U64 rnd() {  // xorshift64*
    rngState ^= rngState >> 12;
    rngState ^= rngState << 25;
    rngState ^= rngState >> 27;
    return rngState * 2685821657736338717ull;
}

static U64 slide(int sq, U64 occ, bool bishop) {
    static const int rd[2][4] = {{1, -1, 0, 0}, {1, 1, -1, -1}};
    static const int fd[2][4] = {{0, 0, 1, -1}, {1, -1, 1, -1}};
    U64 result = 0;
    for (int d = 0; d < 4; ++d) {
        int r = sq / 8 + rd[bishop][d], f = sq % 8 + fd[bishop][d];
        while (r >= 0 && r < 8 && f >= 0 && f < 8) {
            result |= 1ull << (r * 8 + f);
            if (occ & (1ull << (r * 8 + f))) break;
            r += rd[bishop][d];
            f += fd[bishop][d];
        }
    }
    return result;
}

static U64 maskOf(int sq, bool bishop) {
    U64 rays = slide(sq, 0, bishop);
    if (bishop) return rays & 0x007E7E7E7E7E7E00ull;
    U64 edges = 0;
    if (sq % 8 != 0) edges |= 0x0101010101010101ull;
    if (sq % 8 != 7) edges |= 0x8080808080808080ull;
    if (sq / 8 != 0) edges |= 0xFFull;
    if (sq / 8 != 7) edges |= 0xFF00000000000000ull;
    return rays & ~edges;
}

static U64 find(int sq, bool bishop) {
    const int bits = bishop ? BishopBits[sq] : RookBits[sq];
    const U64 mask = maskOf(sq, bishop);
    std::vector<U64> occs, atts;
    U64 sub = 0;
    do {  // every subset of the mask (Carry-Rippler)
        occs.push_back(sub);
        atts.push_back(slide(sq, sub, bishop));
        sub = (sub - mask) & mask;
    } while (sub);
    std::vector<U64> table(size_t(1) << bits);
    std::vector<int> stamp(size_t(1) << bits, 0);
    for (int attempt = 1;; ++attempt) {
        const U64 magic = rnd() & rnd() & rnd();
        if (__builtin_popcountll((mask * magic) & 0xFF00000000000000ull) < 6) continue;
        bool ok = true;
        for (size_t i = 0; i < occs.size() && ok; ++i) {
            const U64 index = (occs[i] * magic) >> (64 - bits);
            if (stamp[index] != attempt) {
                stamp[index] = attempt;
                table[index] = atts[i];
            } else if (table[index] != atts[i]) {
                ok = false;
            }
        }
        if (ok) return magic;
    }
}

int main() {
    for (int bishop = 0; bishop < 2; ++bishop) {
        printf("%s = {\n", bishop ? "BishopMultipliers" : "RookMultipliers");
        for (int sq = 0; sq < 64; ++sq)
            printf("    0x%016llXull,%s", (unsigned long long)find(sq, bishop), sq % 2 ? "\n" : "");
        printf("};\n");
    }
}
