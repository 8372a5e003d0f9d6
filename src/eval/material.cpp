#include "eval/material.h"

#include <algorithm>

#include "core/params.h"

MaterialEntry MaterialTable[MaterialTableSize];

// A quadruple over the anchor phases 32, 24, 8 and 0.
using Quad = MaterialAnchors;

// Per-piece anchor values, derived from the tuning parameters.
struct PieceAnchors {
    Quad pawn, knight, bishop, rook, queen, bishopPair;
};

// Imbalance terms and special corrections.
static constexpr Quad KnightPawnTerm = {0, 2, 4, 5};
static constexpr Quad PairPawnTerm = {0, 1, 2, 3};
static constexpr Quad RookPawnTerm = {5, 4, 2, 0};
static constexpr Quad RookPairTerm = {16, 20, 28, 32};
static constexpr Quad HeavyPiecesTerm = {8, 10, 14, 16};
static constexpr Quad MinorMajorityTerm = {20, 15, 10, 5};
static constexpr Quad PairAgainstNoMinorTerm = {5, 5, 5, 5};
static constexpr Quad K1 = {2, 2, 3, 4};
static constexpr Quad K3 = {4, 5, 7, 8};
static constexpr Quad K4 = {8, 10, 14, 16};
static constexpr Quad U = {1, 1, 2, 2};

static Quad ratios(int value, int a32, int a24, int a8, int a0, int denominator) {
    return {value * a32 / denominator, value * a24 / denominator, value * a8 / denominator,
            value * a0 / denominator};
}

static PieceAnchors currentPieceAnchors() {
    const TuningParameters& t = tuning;
    return {ratios(t.PawnValue, 80, 90, 110, 125, 100),      ratios(t.KnightValue, 265, 280, 320, 355, 325),
            ratios(t.BishopValue, 280, 295, 325, 360, 325),  ratios(t.RookValue, 405, 450, 550, 610, 500),
            ratios(t.QueenValue, 800, 875, 1025, 1150, 975), ratios(t.BishopPairValue, 35, 40, 50, 55, 50)};
}

static void add(Quad& a, int k, const Quad& q) {
    for (int i = 0; i < 4; ++i) a[i] += k * q[i];
}

// One side's men, for the rules that are stated for a strong and a weak side.
struct Army {
    int q, r, bl, bd, n, p;
};

static Army whiteArmy(const MaterialCounts& c) { return {c.wQ, c.wR, c.wBl, c.wBd, c.wN, c.wP}; }
static Army blackArmy(const MaterialCounts& c) { return {c.bQ, c.bR, c.bBl, c.bBd, c.bN, c.bP}; }
static int bishops(const Army& a) { return a.bl + a.bd; }
static int minors(const Army& a) { return a.n + a.bl + a.bd; }
static int pieces(const Army& a) { return a.q + a.r + minors(a); }
static int units(const Army& a) { return minors(a) + 2 * a.r + 4 * a.q; }

int materialIndex(const MaterialCounts& c) {
    return c.wQ + 2 * c.bQ + 4 * c.wR + 12 * c.bR + 36 * c.wBl + 72 * c.wBd + 144 * c.bBl + 288 * c.bBd +
           576 * c.wN + 1728 * c.bN + 5184 * c.wP + 46656 * c.bP;
}

MaterialCounts decodeMaterialIndex(int index) {
    MaterialCounts c;
    c.wQ = index % 2, index /= 2;
    c.bQ = index % 2, index /= 2;
    c.wR = index % 3, index /= 3;
    c.bR = index % 3, index /= 3;
    c.wBl = index % 2, index /= 2;
    c.wBd = index % 2, index /= 2;
    c.bBl = index % 2, index /= 2;
    c.bBd = index % 2, index /= 2;
    c.wN = index % 3, index /= 3;
    c.bN = index % 3, index /= 3;
    c.wP = index % 9, index /= 9;
    c.bP = index;
    return c;
}

int materialPhase(const MaterialCounts& c) {
    return (c.wN + c.bN + c.wBl + c.wBd + c.bBl + c.bBd) + 3 * (c.wR + c.bR) + 6 * (c.wQ + c.bQ);
}

// Corrections for particular imbalances, applied after the general terms.
static void applySpecialCorrections(const MaterialCounts& c, Quad& a) {
    const int wB = c.wBl + c.wBd, bB = c.bBl + c.bBd;
    const int wMinors = c.wN + wB, bMinors = c.bN + bB;
    const int rookDiff = c.wR - c.bR;  // White's rooks more
    const int minorDiff = wMinors - bMinors;
    const int pawnDiff = c.wP - c.bP;

    // Queens equal, pawns equal.
    if (c.wQ == c.bQ && pawnDiff == 0) {
        if (c.wR == 1 && wB == 1 && c.wN == 0 && c.bR == 1 && bB == 0) {
            if (c.bN == 1) add(a, 1, K1);
        } else if (c.bR == 1 && bB == 1 && c.bN == 0 && c.wR == 1) {
            if (wB == 0 && c.wN == 1) add(a, -1, K1);
        } else if (c.bR == 2) {
            if (c.wR == 2 && wB == 2 && c.wN == 0 && c.bN == 2 && bB == 0) add(a, 1, K1);
            if (c.wR == 2 && c.wN == 2 && wB == 0 && bB == 2 && c.bN == 0) add(a, -1, K1);
        }
        if (rookDiff == 1 && minorDiff == -1 && wMinors == 3) add(a, -1, K3);
        if (rookDiff == -1 && minorDiff == 1 && bMinors == 3) add(a, 1, K3);
        if (c.wR == 2 && c.bR == 0) {
            if (minorDiff == -3) add(a, -1, K4);
        } else if (c.bR == 2 && c.wR == 0) {
            if (minorDiff == 3) add(a, 1, K4);
        }
    }

    // Queens equal, pawns unequal.
    if (c.wQ == c.bQ && pawnDiff != 0) {
        const int n = c.wR + c.bR + c.wQ + c.bQ + wMinors + bMinors;
        if (rookDiff == 1 && minorDiff == -2 && pawnDiff == -1) {
            add(a, -n, U);
            if (wB == 1) add(a, 1, K3);
        }
        if (rookDiff == -1 && minorDiff == 2 && pawnDiff == 1) {
            add(a, n, U);
            if (bB == 1) add(a, -1, K3);
        }
        if (c.wR == 1 && c.wN == 1 && wB == 0 && c.wQ == 0 && bB == 2 && c.bR == 0 && c.bQ == 0 &&
            pawnDiff == -1) {
            if (c.bN == 0) add(a, -1, K3);
        } else if (c.bR == 1 && c.bN == 1 && bB == 0 && c.bQ == 0 && wB == 2 && c.wR == 0 && c.wQ == 0 &&
                   c.wN == 0 && pawnDiff == 1) {
            add(a, 1, K3);
        }
        if (wB == bB) {
            const int t = c.wP + c.bP;
            if (rookDiff == 1 && c.bN - c.wN == 1 && pawnDiff == -2) {
                if (t < 6)
                    add(a, 1, K3);
                else
                    add(a, -t, U);
            }
            if (rookDiff == -1 && c.wN - c.bN == 1 && pawnDiff == 2) {
                if (t < 6)
                    add(a, -1, K3);
                else
                    add(a, t, U);
            }
        }
    }

    // A queen against a rook, a minor and a pawn.
    if (c.bQ && !c.wQ && rookDiff == 1 && minorDiff == 1 && pawnDiff == 1) {
        if (wB < c.wN) add(a, 1, K1);
    }
    if (c.wQ && !c.bQ && rookDiff == -1 && minorDiff == -1 && pawnDiff == -1) {
        if (bB < c.bN) add(a, -1, K1);
    }

    // A queen against two rooks, minors and pawns equal.
    if (minorDiff == 0 && pawnDiff == 0) {
        if (c.bQ && c.bR == 0 && !c.wQ && c.wR == 2) {
            if (wMinors == 0)
                add(a, 1, K4);
            else if (wMinors == 1)
                add(a, 1, K3);
            else if (wMinors == 2)
                add(a, -1, K3);
        }
        if (c.wQ && c.wR == 0 && !c.bQ && c.bR == 2) {
            if (wMinors == 0)
                add(a, -1, K4);
            else if (wMinors == 1)
                add(a, -1, K3);
            else if (wMinors == 2)
                add(a, 1, K3);
        }
    }

    // A queen against no queen.
    if (c.wQ && !c.bQ) {
        if (rookDiff == 0 && pawnDiff == 0 && minorDiff == -3) add(a, -1, K4);
        if (rookDiff == -1 && minorDiff == -2) {
            if (pawnDiff == 2)
                add(a, 1, K3);
            else if (pawnDiff == 1)
                add(a, -1, K4);
        }
    }
    if (c.bQ && !c.wQ) {
        if (rookDiff == 0 && pawnDiff == 0 && minorDiff == 3) add(a, 1, K4);
        if (rookDiff == 1 && minorDiff == 2) {
            if (pawnDiff == -2)
                add(a, -1, K3);
            else if (pawnDiff == -1)
                add(a, 1, K4);
        }
    }
}

static Quad anchorsWith(const MaterialCounts& c, const PieceAnchors& pa) {
    const int wB = c.wBl + c.wBd, bB = c.bBl + c.bBd;
    const int wMinors = c.wN + wB, bMinors = c.bN + bB;
    const int wPair = c.wBl && c.wBd, bPair = c.bBl && c.bBd;
    Quad a = {0, 0, 0, 0};
    add(a, c.wP - c.bP, pa.pawn);
    add(a, c.wN - c.bN, pa.knight);
    add(a, wB - bB, pa.bishop);
    add(a, c.wR - c.bR, pa.rook);
    add(a, c.wQ - c.bQ, pa.queen);
    add(a, wPair - bPair, pa.bishopPair);
    add(a, c.wN * (c.wP - 5) - c.bN * (c.bP - 5), KnightPawnTerm);
    add(a, (c.bP - 5) * bPair - (c.wP - 5) * wPair, PairPawnTerm);
    add(a, c.bR * (c.bP - 5) - c.wR * (c.wP - 5), RookPawnTerm);
    if (c.wR == 2) add(a, -1, RookPairTerm);
    if (c.bR == 2) add(a, 1, RookPairTerm);
    if (c.wR + c.wQ >= 2) add(a, -1, HeavyPiecesTerm);
    if (c.bR + c.bQ >= 2) add(a, 1, HeavyPiecesTerm);
    if (wMinors > bMinors) add(a, 1, MinorMajorityTerm);
    if (wMinors < bMinors) add(a, -1, MinorMajorityTerm);
    if (wPair && bMinors == 0) add(a, 1, PairAgainstNoMinorTerm);
    if (bPair && wMinors == 0) add(a, -1, PairAgainstNoMinorTerm);
    applySpecialCorrections(c, a);
    return a;
}

MaterialAnchors materialAnchors(const MaterialCounts& c) { return anchorsWith(c, currentPieceAnchors()); }

int interpolateAnchors(const MaterialAnchors& a, int phase) {
    const int f = phase;
    if (f < 8) return (f * a[2] + (8 - f) * a[3]) >> 3;
    if (f <= 23) return ((24 - f) * a[2] + (f - 8) * a[1]) >> 4;
    return ((32 - f) * a[1] + (f - 24) * a[0]) >> 3;
}

// The scale rule for a strong side s against a weak side w, without the final queen rule.
static int scaleLines(const Army& s, const Army& w) {
    const int u = units(s), v = units(w);

    if (s.p >= 2) return 10;

    if (s.p == 1) {
        if (v == 1) {
            if (u == 1) return 3;
            if (u == 2 && s.r) return 7;
            if (u == 2 && s.n == 2) return w.p ? 5 : 3;
            return 10;
        }
        if (v == 2) {
            if (w.r == 1 && u == 2) return s.r ? 8 : 10;
            if (w.r) return 10;
            return u == 2 ? 4 : 10;  // two minors
        }
        if (v >= 3 && u == v) {
            if (v == 4 && w.q) return 7;
            if (minors(w)) return 3;
            return 5;
        }
        return 10;
    }

    // No pawns for the strong side.
    if (u == 0) return 10;
    if (u == 1) return 0;

    if (u == 2) {
        if (v == 0) return s.n == 2 ? (w.p ? 3 : 0) : 10;
        if (v == 1) {
            if (bishops(w)) return 1;
            if (bishops(s) == 2) return 8;
            if (s.r) return 2;
            return 1;
        }
        if (v == 2) return 1;
        return 10;
    }

    if (u == 3) {
        if (s.r) {  // a rook and a minor
            if (v == 3) return 2;
            if (v == 2) {
                if (w.r) return 1;
                if (w.n == 2 && bishops(s) == 1) return 6;
                if (w.n == 1 && bishops(w) == 1 && bishops(s) == 1 && s.bl != w.bl) return 7;
                return 2;
            }
            return 10;
        }
        // three minors
        if (v == 3) return 2;
        if (v == 2) {
            if (w.r) return bishops(s) == 2 ? 7 : 2;
            return bishops(s) == 2 && w.n == 2 ? 4 : 2;
        }
        return 10;
    }

    if (u == 4) {
        if (s.q) {
            if (v == 2) {
                if (w.n == 2) return 2;
                if (w.n == 1 && bishops(w) == 1) return 8;
                return 7;
            }
            if (v == 3 || v == 4) return 1;
            return 10;
        }
        if (s.r == 2) {
            if (v == 2) return w.r ? 10 : 7;
            if (v == 3) return 2;
            if (v == 4) return 1;
            return 10;
        }
        if (s.r == 1) {  // a rook and two minors
            if (v == 3) return w.r ? 3 : 2;
            if (v == 4) return 2;
            return 10;
        }
        // four minors
        if (v == 3) return w.r ? 4 : 2;
        if (v == 4) return w.q ? 8 : 1;
        return 10;
    }

    if (u == 5) {
        if (s.q) {  // a queen and a minor
            if (v == 4) {
                if (w.r == 2) return bishops(s) ? 7 : 3;
                return 2;
            }
            if (v == 5) return 1;
            return 10;
        }
        if (s.r == 1) {  // a rook and three minors
            if (v == 5) return 2;
            if (v == 4) {
                if (w.r == 2) return 7;
                if (w.r == 1) return 3;
                if (w.q) return 9;
                return 1;
            }
            return 10;
        }
        // two rooks and a minor
        if (v == 5) return 1;
        if (v == 4) {
            if (w.r == 2) return 3;
            if (w.r == 1) return 2;
            if (w.q) return s.n ? 7 : 8;
            return 1;
        }
        return 10;
    }

    if (u == 6) {
        if (s.q && s.r) {
            if (v == 4) {
                if (w.r == 1) return 6;
                if (w.r == 2) return 3;
                if (w.q) return 10;
                return 2;
            }
            if (v == 5) return w.r || w.q ? 1 : 10;
            if (v == 6) return 1;
            return 10;
        }
        if (s.q) {  // a queen and two minors
            if (v == 4) return w.q || w.r ? 10 : 5;
            if (v == 5) {
                if (w.r == 2) return 2;
                if (w.r == 1) return 1;
                if (w.q) return 2;
                return 10;
            }
            if (v == 6) return 1;
            return 10;
        }
        if (s.r == 2) {  // two rooks and two minors
            if (v == 5) {
                if (w.r == 1) return 1;
                if (w.r == 2) return 2;
                if (w.q) return 7;
                return 10;
            }
            if (v == 6) return 1;
            return 10;
        }
        // a rook and four minors
        if (v == 5) {
            if (w.r == 2) return 3;
            if (w.r == 1) return 2;
            if (w.q) return 9;
            return 10;
        }
        if (v == 6) {
            if (!w.q) return 1;
            return w.r ? 4 : 2;
        }
        return 10;
    }

    // u >= 7
    const int x = pieces(s) + 2 * u;
    const int y = pieces(w) + 2 * v + 4;
    if (x > y) return 9;
    if (x == y) return 7;
    if (x == y - 1) return 4;
    if (x == y - 2) return 2;
    return 1;
}

int scaleTenths(const MaterialCounts& c, bool whiteStrong) {
    const Army s = whiteStrong ? whiteArmy(c) : blackArmy(c);
    const Army w = whiteStrong ? blackArmy(c) : whiteArmy(c);
    int tenths = scaleLines(s, w);
    // A lone queen cannot force much against several pieces backed by pawns.
    if (s.q && units(s) == 4 && units(w) >= 2 && w.p) tenths = 5;
    return tenths;
}

uint8_t materialScale(const MaterialCounts& c) {
    const Army w = whiteArmy(c), b = blackArmy(c);
    const int p = std::max(w.p, b.p);
    const int wPieces = pieces(w), bPieces = pieces(b);
    if (wPieces == 0 && bPieces == 0) return uint8_t(192 - 8 * p);
    if (wPieces == 1 && bPieces == 1) {
        if (w.n && b.n) return uint8_t(128 + p);
        if (w.q && b.q) return uint8_t(112 + p);
        if (w.r && b.r) return uint8_t(96 + 2 * p);
    }
    if (wPieces == 2 && bPieces == 2 && w.r == 1 && b.r == 1 && bishops(w) == 1 && bishops(b) == 1 &&
        w.bl != b.bl)
        return uint8_t(112 + p);
    if (wPieces == 1 && bPieces == 1 && bishops(w) && bishops(b))
        return uint8_t(w.bl == b.bl ? 120 + 2 * p : 48 + 4 * p);
    return 128;
}

uint8_t materialFlags(const MaterialCounts& c) {
    const Army w = whiteArmy(c), b = blackArmy(c);
    const int wPieces = pieces(w), bPieces = pieces(b);
    const bool wSingleMinor = wPieces == 1 && minors(w) == 1;
    const bool bSingleMinor = bPieces == 1 && minors(b) == 1;
    const bool fewPawns = w.p <= 4 && b.p <= 4;
    uint8_t flags = 0;
    if (bPieces && !(bSingleMinor && fewPawns)) flags |= BlackHasPiecesFlag;
    if (wPieces && !(wSingleMinor && fewPawns)) flags |= WhiteHasPiecesFlag;
    if (wSingleMinor) flags |= WhiteSingleMinorFlag;
    if (bSingleMinor) flags |= BlackSingleMinorFlag;
    if (w.p + b.p == 0) {
        const bool wBN = wPieces == 2 && bishops(w) == 1 && w.n == 1;
        const bool bBN = bPieces == 2 && bishops(b) == 1 && b.n == 1;
        if ((wBN && bPieces == 0) || (bBN && wPieces == 0)) flags |= BishopKnightMateFlag;
    }
    if (wPieces == 1 && bPieces == 1) {
        if (w.q && b.q)
            flags |= QueenEnding;
        else if (w.r && b.r)
            flags |= RookEnding;
        else if (bishops(w) && bishops(b))
            flags |= w.bl == b.bl ? SameBishopEnding : OppositeBishopEnding;
        else if (w.n && b.n)
            flags |= KnightEnding;
        else if ((bishops(w) && b.n) || (w.n && bishops(b)))
            flags |= BishopKnightEnding;
    } else if (wPieces == 0 && bPieces == 0 && w.p + b.p == 1) {
        flags |= SinglePawnEnding;
    }
    return flags;
}

static MaterialEntry entryWith(const MaterialCounts& c, const PieceAnchors& pa) {
    const int h = interpolateAnchors(anchorsWith(c, pa), materialPhase(c));
    const int tenths = scaleTenths(c, h >= 1);
    const int value = ((h * tenths) / 10) * tuning.MaterialWeight >> 10;
    return {int16_t(value), materialScale(c), materialFlags(c)};
}

MaterialEntry materialEntry(const MaterialCounts& c) { return entryWith(c, currentPieceAnchors()); }

void initMaterialTable() {
    const PieceAnchors pa = currentPieceAnchors();
    // Pawn counts vary fastest so that the branches of one piece configuration stay predictable.
    constexpr int PieceConfigurations = 5184;
    for (int config = 0; config < PieceConfigurations; ++config) {
        MaterialCounts c = decodeMaterialIndex(config);
        for (c.wP = 0; c.wP <= 8; ++c.wP)
            for (c.bP = 0; c.bP <= 8; ++c.bP) MaterialTable[materialIndex(c)] = entryWith(c, pa);
    }
}
