// Piece terms of the full evaluation: the piece loop of each side with mobility, king-zone
// attacks, threats, x-ray blockers, files, outposts and traps, then the king-safety,
// trapped-rook, threat-count and corner-file terms. The loop also leaves the attack maps,
// checker sets and x-ray blockers (with their sliders) that the search reads.
#include "eval/pieces.h"

#include <bit>

#include "board/bitboard.h"
#include "eval/evalterms.h"
#include "eval/piecetables.h"
#include "core/params.h"

namespace {

// The square of b nearest to Us's own side: the lowest for White, the highest for Black.
template <Side Us>
inline Square nearestToOwnSide(Bitboard b) {
    return Us == White ? lowestSquare(b) : 63 - std::countl_zero(b);
}

// The first square of b in Us's reading order (ranks counted from Us's side, files from a):
// the lowest square for White, its mirror image for Black.
template <Side Us>
inline Square firstInOwnOrder(Bitboard b) {
    return Us == White ? lowestSquare(b) : lowestSquare(__builtin_bswap64(b)) ^ 56;
}

constexpr uint32_t kingAttackUnit(int weight) { return (1u << 16) + uint32_t(weight); }

// One side's queens, rooks, bishops and knights, from Us's view. Adds the attacks,
// checkers, blockers, king attack, threats and mobility to w.
template <Side Us>
Score sidePieces(Position& pos, const PawnHashEntry& entry, PieceWork& w) {
    constexpr Side Them = opposite(Us);
    constexpr uint8_t OurPawn = pieceFor(Us, Pawn), OurKnight = pieceFor(Us, Knight);
    constexpr uint8_t OurLightBishop = pieceFor(Us, LightBishop), OurDarkBishop = pieceFor(Us, DarkBishop);
    constexpr uint8_t OurRook = pieceFor(Us, Rook), OurQueen = pieceFor(Us, Queen);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn), TheirKnight = pieceFor(Them, Knight);
    constexpr uint8_t TheirLightBishop = pieceFor(Them, LightBishop),
                      TheirDarkBishop = pieceFor(Them, DarkBishop);
    constexpr uint8_t TheirRook = pieceFor(Them, Rook), TheirQueen = pieceFor(Them, Queen);
    constexpr Bitboard SixthRank = relativeRankBits(Us, 5);
    constexpr Bitboard SeventhRank = relativeRankBits(Us, 6);
    constexpr Bitboard EighthRank = relativeRankBits(Us, 7);
    constexpr int Up = Us == White ? 8 : -8;
    const auto& xray = XrayBonus[Us];
    uint8_t* const pinner = Us == White ? pos.pinnerOfBlack : pos.pinnerOfWhite;

    const Bitboard occ = pos.pieces[AllMen];
    const Bitboard ourMen = pos.pieces[menOf(Us)], theirMen = pos.pieces[menOf(Them)];
    const Bitboard ourPawns = pos.pieces[OurPawn], theirPawns = pos.pieces[TheirPawn];
    const Bitboard ourRooks = pos.pieces[OurRook], ourHeavies = ourRooks | pos.pieces[OurQueen];
    const Bitboard theirKnights = pos.pieces[TheirKnight];
    const Bitboard theirBishops = pos.pieces[TheirLightBishop] | pos.pieces[TheirDarkBishop];
    const Bitboard theirQueens = pos.pieces[TheirQueen];
    const Bitboard theirHeavies = pos.pieces[TheirRook] | theirQueens;
    const Square ourKing = kingSquare(pos, Us), theirKing = kingSquare(pos, Them);
    const Bitboard theirKingBB = SquareBB[theirKing];
    const Bitboard theirKingZone = KingAttacks[theirKing], ourKingZone = KingAttacks[ourKing];
    const Bitboard ourPawnAttacks = w.pawnAttacks[Us], theirPawnAttacks = w.pawnAttacks[Them];
    const Bitboard undefended = ~theirPawnAttacks;  // squares no enemy pawn guards
    const Bitboard targets = w.targets[Them];
    const Bitboard theirPawnsAndKing = theirPawns | theirKingBB;

    const Bitboard queenArea = ~ourMen & undefended;
    const Bitboard rookArea = ~ourPawns & undefended;

    Bitboard attacks = 0, checkers = 0, blockers = 0;
    uint32_t kingAttack = w.kingAttack[Us];
    Score score = 0, mobility = 0;
    int ourThreats = 0, theirThreats = 0;

    // The lone man between a slider on s and the enemy king, if any: its bonus, the
    // blocker set and the slider behind it.
    auto xrayBlocker = [&](Square s, Bitboard between, int kind) {
        if (!between) return;
        const Square b = lowestSquare(between);
        score += xray[kind][pos.board[b]];
        blockers |= between;
        pinner[b] = uint8_t(s);
    };

    for (Bitboard b = pos.pieces[OurQueen]; b; b &= b - 1) {
        const Square s = lowestSquare(b);
        const Bitboard diagonal = bishopAttacks(s, occ), straight = rookAttacks(s, occ);
        const Bitboard x = diagonal | straight;
        attacks |= x;
        if (x & theirKingZone) kingAttack += kingAttackUnit(40);
        if (x & ourKingZone) score += makeScore(5, 2);
        mobility += popCount(x & queenArea) * makeScore(2, 2);
        if (x & theirMen & undefended) score += makeScore(4, 4);
        if (theirPawnAttacks & SquareBB[s]) {
            score -= makeScore(8, 12);
            ++ourThreats;
        }
        if (x & theirKingBB)
            checkers |= SquareBB[s];
        else if (BishopRays[s] & theirKingBB)
            xrayBlocker(s, diagonal & bishopAttacks(theirKing, occ), XrayQueenDiagonal);
        else if (RookRays[s] & theirKingBB)
            xrayBlocker(s, straight & rookAttacks(theirKing, occ), XrayQueenStraight);

        if ((SeventhRank & SquareBB[s]) && (theirPawnsAndKing & (SeventhRank | EighthRank))) {
            score += makeScore(-5, 19);
            if ((x & ourRooks & SeventhRank) && (theirKingBB & EighthRank)) score += makeScore(2, 13);
        }
    }

    for (Bitboard b = ourRooks; b; b &= b - 1) {
        const Square s = lowestSquare(b);
        const Bitboard x = rookAttacks(s, occ);
        attacks |= x;
        if (x & theirKingZone) kingAttack += kingAttackUnit(25);
        if (x & ourKingZone) score += makeScore(3, 1);
        mobility += popCount(x & rookArea) * makeScore(2, 3);
        if (x & theirPawns & undefended) score += makeScore(2, 3);
        if (x & (theirKnights | theirBishops) & undefended) score += makeScore(4, 5);
        if (x & theirQueens) {
            score += makeScore(5, 5);
            ++theirThreats;
        }
        if (theirPawnAttacks & SquareBB[s]) {
            score -= makeScore(7, 10);
            ++ourThreats;
        }
        if (x & theirKingBB)
            checkers |= SquareBB[s];
        else if (RookRays[s] & theirKingBB)
            xrayBlocker(s, x & rookAttacks(theirKing, occ), XrayRook);

        if (x & ourHeavies) score += makeScore(2, 2);
        score += rookFileScore<Us>(pos, w, s, x);
        if ((OutpostSquares[Us] & SquareBB[s]) &&
            !(AdjacentFilesMask[fileOf(s)] & RanksAheadMask[Us][rankOf(s)] & theirPawns) &&
            (ourPawnAttacks & SquareBB[s]))
            score += (x & rankBits(rankOf(s)) & targets) ? makeScore(4, 6) : makeScore(1, 2);
        if (EighthRank & SquareBB[s]) {
            if (theirKingBB & EighthRank) score += makeScore(7, 0);
        } else if (SeventhRank & SquareBB[s]) {
            if (theirPawnsAndKing & (SeventhRank | EighthRank))
                score += ((theirKingBB & EighthRank) && (x & ourHeavies & SeventhRank)) ? makeScore(23, 29)
                                                                                        : makeScore(8, 16);
        } else if (SixthRank & SquareBB[s]) {
            if (theirPawnsAndKing & (SixthRank | SeventhRank | EighthRank)) score += makeScore(12, 4);
        }
    }

    // Minor pieces may also count squares of enemy pieces that a pawn guards.
    const Bitboard minorArea = queenArea | (theirMen & ~theirPawns);

    for (Bitboard b = pos.pieces[OurLightBishop] | pos.pieces[OurDarkBishop]; b; b &= b - 1) {
        const Square s = lowestSquare(b);
        const Bitboard x = bishopAttacks(s, occ);
        attacks |= x;
        if (x & theirKingZone) kingAttack += kingAttackUnit(15);
        if (x & ourKingZone) score += makeScore(2, 1);
        mobility += popCount(x & minorArea & RanksAheadMask[Us][rankOf(s)]) * makeScore(5, 5);
        if (x & theirPawns & undefended) score += makeScore(3, 4);
        if (x & theirKnights & undefended) score += makeScore(5, 5);
        if (x & theirHeavies) {
            score += makeScore(7, 10);
            ++theirThreats;
        }
        if (theirPawnAttacks & SquareBB[s]) {
            score -= makeScore(5, 7);
            ++ourThreats;
        }
        if (x & theirKingBB)
            checkers |= SquareBB[s];
        else if (BishopRays[s] & theirKingBB)
            xrayBlocker(s, x & bishopAttacks(theirKing, occ), XrayBishop);

        // Pawns on the bishop's square colour: own ones block it, enemy ones below it and
        // unguarded by pawns are targets.
        const bool light = (LightSquares & SquareBB[s]) != 0;
        const Bitboard colour = light ? LightSquares : DarkSquares;
        const int whiteCount = light ? entry.whitePawnsLight : entry.whitePawnsDark;
        const int blackCount = light ? entry.blackPawnsLight : entry.blackPawnsDark;
        const int blocked = Us == White ? whiteCount + (blackCount >> 1) : blackCount + (whiteCount >> 1);
        score -= makeScore(blocked, blocked);
        score +=
            popCount(theirPawns & colour & RanksAheadMask[Them][rankOf(s)] & undefended) * makeScore(0, 2);

        if ((OutpostSquares[Us] & SquareBB[s]) &&
            !(AdjacentFilesMask[fileOf(s)] & RanksAheadMask[Us][rankOf(s)] & theirPawns) &&
            (ourPawnAttacks & SquareBB[s]))
            score += (x & targets) ? makeScore(7, 13) : makeScore(4, 9);
        score += bishopTrapScore<Us>(pos, s);
    }

    for (Bitboard b = pos.pieces[OurKnight]; b; b &= b - 1) {
        const Square s = lowestSquare(b);
        const Bitboard x = KnightAttacks[s];
        attacks |= x;
        if (x & theirKingBB) checkers |= SquareBB[s];
        if (x & theirKingZone) kingAttack += kingAttackUnit(15);
        if (x & (ourKingZone | SquareBB[ourKing])) score += makeScore(4, 2);
        mobility += popCount(x & minorArea & RanksAheadMask[Us][rankOf(s)]) * makeScore(6, 8);
        if (x & theirPawns & undefended) score += makeScore(3, 4);
        if (x & theirBishops & undefended) score += makeScore(5, 5);
        if (x & theirHeavies) {
            score += makeScore(7, 10);
            ++theirThreats;
        }
        if (theirPawnAttacks & SquareBB[s]) {
            score -= makeScore(5, 7);
            ++ourThreats;
        }

        // A knight on its own half facing an enemy pawn three ranks ahead on its file.
        const int r = relativeRank(Us, s);
        if (r <= 3 && (theirPawns & SquareBB[s + 3 * Up])) score += makeScore(r - 4, r - 4);
        score += knightOutpostScore<Us>(pos, w, s, x);
    }

    w.attacks[Us] |= attacks;
    w.checkers[Us] |= checkers;
    w.blockers[Us] |= blockers;
    w.kingAttack[Us] = kingAttack;
    w.threats[Us] += ourThreats;
    w.threats[Them] += theirThreats;
    w.mobility += Us == White ? mobility : -mobility;
    return score;
}

// End terms around the king of Us, from Us's view: a loose enemy pawn next to the king,
// the rook shut in by the king, and the king danger (also stored for the search).
template <Side Us>
Score kingTerms(Position& pos, const PawnHashEntry& entry, const PieceWork& w) {
    constexpr Side Them = opposite(Us);
    Score score = 0;
    if (KingAttacks[kingSquare(pos, Us)] & pos.pieces[pieceFor(Them, Pawn)] & ~w.attacks[Them])
        score += makeScore(0, 5);
    score += trappedRookScore<Us>(pos);

    const int danger = kingDangerOf<Us>(pos, entry, w);
    int phase = int(pos.state->materialInfo & 0xFF);
    if (phase > 32) phase = 32;
    int scaled = (danger * phase) >> 7;
    // The search reads one byte; very large dangers stay at the top of its range.
    scaled = scaled < 0 ? 0 : scaled > 255 ? 255 : scaled;
    (Us == White ? pos.state->whiteKingDanger : pos.state->blackKingDanger) = uint8_t(scaled);
    score -= makeScore(danger, 0);
    return score;
}

// Us's rook or queen next to the enemy king on a corner file, from Us's view.
template <Side Us>
Score cornerFileScore(const Position& pos) {
    constexpr Side Them = opposite(Us);
    const Bitboard neighbour = CornerFileNeighbour[fileOf(kingSquare(pos, Them))];
    if (!(neighbour & (pos.pieces[pieceFor(Us, Rook)] | pos.pieces[pieceFor(Us, Queen)]))) return 0;
    return (neighbour & (pos.pieces[WhitePawn] | pos.pieces[BlackPawn])) ? makeScore(0, 5) : makeScore(5, 20);
}

}  // namespace

void setUpPieceWork(const Position& pos, PieceWork& w) {
    const Bitboard whitePawns = pos.pieces[WhitePawn], blackPawns = pos.pieces[BlackPawn];
    const Bitboard occ = pos.pieces[AllMen];
    const Square whiteKing = pos.whiteKingSquare, blackKing = pos.blackKingSquare;

    w.pawnAttacks[White] = ((whitePawns & NotFileA) << 7) | ((whitePawns & NotFileH) << 9);
    w.pawnAttacks[Black] = ((blackPawns & NotFileA) >> 9) | ((blackPawns & NotFileH) >> 7);
    w.attacks[White] = w.pawnAttacks[White];
    w.attacks[Black] = w.pawnAttacks[Black];
    w.checkers[White] = whitePawns & PawnAttacks[Black][blackKing];
    w.checkers[Black] = blackPawns & PawnAttacks[White][whiteKing];
    w.blockers[White] = w.blockers[Black] = 0;
    w.targets[White] = (pos.pieces[WhiteMen] & ~w.pawnAttacks[White]) | KingAttacks[whiteKing];
    w.targets[Black] = (pos.pieces[BlackMen] & ~w.pawnAttacks[Black]) | KingAttacks[blackKing];
    w.kingAttack[White] = (w.pawnAttacks[White] & KingAttacks[blackKing]) ? 1u << 16 : 0;
    w.kingAttack[Black] = (w.pawnAttacks[Black] & KingAttacks[whiteKing]) ? 1u << 16 : 0;
    w.threats[White] = w.threats[Black] = 0;
    // Pawns that cannot advance.
    w.mobility = (popCount((blackPawns >> 8) & occ) - popCount((whitePawns << 8) & occ)) * makeScore(3, 10);
}

int kingDanger(uint32_t attack, int shelter) {
    int count = int(attack >> 16);
    if (count > 15) count = 15;  // only promoted pieces get past the table
    const int weight = int(attack & 0xFFFF);
    const int danger = ((weight * KingAttackMultiplier[count]) >> 3) + shelter;
    return (danger * tuning.KingSafetyWeight) >> 10;
}

template <Side Us>
int kingDangerOf(const Position& pos, const PawnHashEntry& entry, const PieceWork& w) {
    constexpr Side Them = opposite(Us);
    const int shelter = (Us == White ? entry.whiteShelter : entry.blackShelter) >> 16;
    int danger = kingDanger(w.kingAttack[Them], shelter);
    if (!pos.pieces[pieceFor(Them, Queen)]) {
        const int pieces =
            popCount(pos.pieces[pieceFor(Them, Rook)] | pos.pieces[pieceFor(Them, Knight)] |
                     pos.pieces[pieceFor(Them, LightBishop)] | pos.pieces[pieceFor(Them, DarkBishop)]);
        danger = (pieces * danger) >> 3;
    }
    return danger;
}

template <Side Us>
Score rookFileScore(const Position& pos, const PieceWork& w, Square s, Bitboard x) {
    constexpr Side Them = opposite(Us);
    const Bitboard front = FrontSpanMask[Us][s];
    const Bitboard ourPawns = pos.pieces[pieceFor(Us, Pawn)], theirPawns = pos.pieces[pieceFor(Them, Pawn)];
    if (front & ourPawns) return 0;

    Score score;
    if (front & theirPawns) {
        // Half-open file: the enemy pawn in front is weaker when no pawn of its own can
        // come down beside it.
        const Square p = nearestToOwnSide<Us>(front & theirPawns);
        score = (AdjacentFilesMask[fileOf(p)] & RanksAheadMask[Us][rankOf(p)] & theirPawns)
                    ? makeScore(4, 0)
                    : makeScore(13, 10);
    } else if (const Bitboard minors =
                   front & w.pawnAttacks[Them] &
                   (pos.pieces[pieceFor(Them, Knight)] | pos.pieces[pieceFor(Them, LightBishop)] |
                    pos.pieces[pieceFor(Them, DarkBishop)])) {
        // A pawn-guarded enemy minor plugs the file; better when an own pawn can chase it.
        const Square c = nearestToOwnSide<Us>(minors);
        score = (AdjacentFilesMask[fileOf(c)] & RanksAheadMask[Them][rankOf(c)] & ourPawns)
                    ? makeScore(22, 6)
                    : makeScore(11, -1);
    } else {
        const Bitboard heavies = pos.pieces[pieceFor(Us, Rook)] | pos.pieces[pieceFor(Us, Queen)];
        score = (x & FrontSpanMask[Them][s] & heavies) ? makeScore(30, 18) : makeScore(23, 15);
    }
    if (front & SquareBB[kingSquare(pos, Them)]) score += makeScore(9, 10);
    return score;
}

template <Side Us>
Score knightOutpostScore(const Position& pos, const PieceWork& w, Square s, Bitboard x) {
    constexpr Side Them = opposite(Us);
    if (!(OutpostSquares[Us] & SquareBB[s]) ||
        (AdjacentFilesMask[fileOf(s)] & RanksAheadMask[Us][rankOf(s)] & pos.pieces[pieceFor(Them, Pawn)]))
        return 0;
    Score score = makeScore(12, 2);
    if (w.pawnAttacks[Us] & SquareBB[s]) {
        score += makeScore(9, 7);
        if (x & w.targets[Them]) {
            score += relativeRank(Us, s) == 4 ? makeScore(7, 7) : makeScore(5, 5);
            if (fileOf(s) == 3 || fileOf(s) == 4) score += makeScore(3, 3);
        }
    }
    return score;
}

template <Side Us>
Score bishopTrapScore(const Position& pos, Square s) {
    const Bitboard theirPawns = pos.pieces[pieceFor(opposite(Us), Pawn)];
    const BishopTrap& trap = BishopTraps[s];
    if (!(trap.first & theirPawns)) return 0;
    return (trap.second & theirPawns) ? makeScore(-80, -80) : makeScore(-40, -40);
}

template <Side Us>
Score trappedRookScore(const Position& pos) {
    const Bitboard rooks = TrappedRookMask[Us][kingSquare(pos, Us)] & pos.pieces[pieceFor(Us, Rook)];
    if (!rooks) return 0;
    const Square rook = firstInOwnOrder<Us>(rooks);
    const Bitboard pawns = FrontSpanMask[Us][rook] & pos.pieces[pieceFor(Us, Pawn)];
    if (!pawns) return 0;
    return makeScore(10 * relativeRank(Us, nearestToOwnSide<Us>(pawns)) - 60, 0);
}

template int kingDangerOf<White>(const Position&, const PawnHashEntry&, const PieceWork&);
template int kingDangerOf<Black>(const Position&, const PawnHashEntry&, const PieceWork&);
template Score rookFileScore<White>(const Position&, const PieceWork&, Square, Bitboard);
template Score rookFileScore<Black>(const Position&, const PieceWork&, Square, Bitboard);
template Score knightOutpostScore<White>(const Position&, const PieceWork&, Square, Bitboard);
template Score knightOutpostScore<Black>(const Position&, const PieceWork&, Square, Bitboard);
template Score bishopTrapScore<White>(const Position&, Square);
template Score bishopTrapScore<Black>(const Position&, Square);
template Score trappedRookScore<White>(const Position&);
template Score trappedRookScore<Black>(const Position&);

Score evaluatePieces(Position& pos, const PawnHashEntry& entry) {
    PieceWork w;
    setUpPieceWork(pos, w);

    Score a = 0;
    a += sidePieces<White>(pos, entry, w);
    a -= sidePieces<Black>(pos, entry, w);

    // King zones complete the attack maps; the mobility sum enters with its weight.
    const Square whiteKing = pos.whiteKingSquare, blackKing = pos.blackKingSquare;
    w.attacks[White] |= KingAttacks[whiteKing];
    w.attacks[Black] |= KingAttacks[blackKing];
    const int weight = tuning.MobilityWeight;
    a += makeScore((mgOf(w.mobility) * weight) >> 10, (egOf(w.mobility) * weight) >> 10);

    // Kings side by side attack each other.
    if (KingAttacks[whiteKing] & SquareBB[blackKing]) {
        w.checkers[White] |= SquareBB[whiteKing];
        w.checkers[Black] |= SquareBB[blackKing];
    }

    a += kingTerms<White>(pos, entry, w);
    a -= kingTerms<Black>(pos, entry, w);

    if (w.threats[Black] > 1) a += makeScore(15, 25);
    if (w.threats[White] > 1) a -= makeScore(15, 25);

    a += cornerFileScore<White>(pos);
    a -= cornerFileScore<Black>(pos);

    StateRecord& st = *pos.state;
    st.whiteAttacks = w.attacks[White];
    st.blackAttacks = w.attacks[Black];
    st.whiteCheckers = w.checkers[White];
    st.blackCheckers = w.checkers[Black];
    st.whiteXrayBlockers = w.blockers[White];
    st.blackXrayBlockers = w.blockers[Black];
    return a;
}
