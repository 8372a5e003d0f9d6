#include "movegen/see.h"

#include "board/bitboard.h"
#include "core/params.h"

namespace {

// First estimate of the exchange, by piece code (either colour).
constexpr int FirstEstimate[16] = {0, 90, 310, 12345678, 320, 320, 490, 990,
                                   0, 90, 310, 12345678, 320, 320, 490, 990};
constexpr int TheirKingValue = 12345;
constexpr int OurKingValue = 23456;

struct AttackerPick {
    Square square;  // -1 when the side has no attacker left
    uint8_t kind;
};

// The least valuable of a side's men in attackers: pawn, knight, bishop, rook, queen, king.
template <Side Side_>
inline AttackerPick leastValuable(const Position& pos, Bitboard attackers) {
    static constexpr uint8_t Order[6] = {Pawn, Knight, LightBishop, Rook, Queen, King};
    for (uint8_t kind : Order) {
        Bitboard set = pos.pieces[pieceFor(Side_, kind)];
        if (kind == LightBishop) set |= pos.pieces[pieceFor(Side_, DarkBishop)];
        set &= attackers;
        if (set) return {lowestSquare(set), kind};
    }
    return {-1, 0};
}

}  // namespace

template <Side Us>
bool seeOk(const Position& pos, Move move) {
    constexpr Side Them = opposite(Us);
    constexpr int OurMen = menOf(Us), TheirMen = menOf(Them);
    constexpr uint8_t TheirPawn = pieceFor(Them, Pawn), TheirKnight = pieceFor(Them, Knight);
    constexpr uint8_t TheirLightBishop = pieceFor(Them, LightBishop),
                      TheirDarkBishop = pieceFor(Them, DarkBishop);

    const Square from = moveFrom(move), to = moveTo(move);
    const StateRecord& st = *pos.state;
    const Bitboard occ = pos.pieces[AllMen];
    const int margin = tuning.SeeMargin;

    // Their men pinned to their king cannot recapture, unless our mover is the pinner or the
    // recapture stays on the pin line.
    const uint8_t* const pinner = Us == White ? pos.pinnerOfBlack : pos.pinnerOfWhite;
    const Square theirKing = kingSquare(pos, Them);
    Bitboard excluded = 0;
    for (Bitboard b = (Us == White ? st.whiteXrayBlockers : st.blackXrayBlockers) & pos.pieces[TheirMen]; b;
         b &= b - 1) {
        const Square s = lowestSquare(b);
        if (pinner[s] != from && LineType[s][to] != LineType[s][theirKing]) excluded |= SquareBB[s];
    }

    const int d = FirstEstimate[pos.board[from]] - FirstEstimate[pos.board[to]];
    if (d > tuning.PawnValue && (PawnAttacks[Us][to] & pos.pieces[TheirPawn] & ~excluded)) return false;
    if (d > tuning.KnightValue && (KnightAttacks[to] & pos.pieces[TheirKnight] & ~excluded)) return false;
    const Bitboard diagonalFromTo = bishopAttacks(to, occ);
    if (d > tuning.BishopValue &&
        (diagonalFromTo & (pos.pieces[TheirLightBishop] | pos.pieces[TheirDarkBishop]) & ~excluded))
        return false;

    const Bitboard queens = pos.pieces[WhiteQueen] | pos.pieces[BlackQueen];
    const Bitboard diagonalSliders = pos.pieces[WhiteLightBishop] | pos.pieces[WhiteDarkBishop] |
                                     pos.pieces[BlackLightBishop] | pos.pieces[BlackDarkBishop] | queens;
    const Bitboard straightSliders = pos.pieces[WhiteRook] | pos.pieces[BlackRook] | queens;
    Bitboard attackers = (KnightAttacks[to] & (pos.pieces[WhiteKnight] | pos.pieces[BlackKnight])) |
                         (diagonalFromTo & diagonalSliders) | (rookAttacks(to, occ) & straightSliders) |
                         (KingAttacks[to] & (pos.pieces[WhiteKing] | pos.pieces[BlackKing])) |
                         (PawnAttacks[Black][to] & pos.pieces[WhitePawn]) |
                         (PawnAttacks[White][to] & pos.pieces[BlackPawn]);
    Bitboard used = SquareBB[from];
    attackers &= ~excluded & ~used;

    // Sliders that join from behind a man that has gone to the square.
    auto addXray = [&](Square s, uint8_t line) {
        if (line == LineDiagonal || line == LineAntiDiagonal)
            attackers |= bishopAttacks(s, occ) & diagonalSliders & BishopRays[to] & ~excluded & ~used;
        else if (line == LineRank || line == LineFile)
            attackers |= rookAttacks(s, occ) & straightSliders & RookRays[to] & ~excluded & ~used;
    };
    addXray(from, LineType[to][from]);

    const int values[8] = {0,
                           tuning.PawnValue,
                           tuning.KnightValue,
                           OurKingValue,
                           tuning.BishopValue,
                           tuning.BishopValue,
                           tuning.RookValue,
                           tuning.QueenValue};
    auto xrayLine = [&](AttackerPick pick) -> uint8_t {
        if (pick.kind == LightBishop) return LineDiagonal;
        if (pick.kind == Rook) return LineRank;
        if (pick.kind == Queen) {
            const uint8_t line = LineType[pick.square][to];
            return (line == LineRank || line == LineFile) ? LineRank : LineDiagonal;
        }
        return LineNone;
    };

    int balance = values[kindOf(pos.board[to])] - values[kindOf(pos.board[from])];
    for (;;) {
        const AttackerPick theirs = leastValuable<Them>(pos, attackers & pos.pieces[TheirMen]);
        if (theirs.square < 0) return true;
        attackers &= SquareClear[theirs.square];
        used |= SquareBB[theirs.square];
        addXray(theirs.square, xrayLine(theirs));
        balance += theirs.kind == King ? TheirKingValue : values[theirs.kind];
        if (balance < -margin) return false;

        const AttackerPick ours = leastValuable<Us>(pos, attackers & pos.pieces[OurMen]);
        if (ours.square < 0) return false;
        if (ours.kind == King && balance > tuning.SeeKingRecaptureLimit) return true;
        attackers &= SquareClear[ours.square];
        used |= SquareBB[ours.square];
        addXray(ours.square, xrayLine(ours));
        balance -= values[ours.kind];
        if (balance >= -margin) return true;
    }
}

template bool seeOk<White>(const Position&, Move);
template bool seeOk<Black>(const Position&, Move);
