#include <gtest/gtest.h>

#include <cstring>

#include "board/attackmap.h"
#include "board/makemove.h"
#include "board/zobrist.h"
#include "board_fixture.h"
#include "test_positions.h"

namespace {

// What make followed by unmake must leave exactly as it was.
struct Snapshot {
    uint8_t board[64];
    Bitboard pieces[17];
    Side side;
    uint8_t whiteKing, blackKing, ply;
    StateRecord* state;
    StateRecord record;
    uint64_t historyLength;

    explicit Snapshot(const Position& pos)
        : side(pos.sideToMove),
          whiteKing(pos.whiteKingSquare),
          blackKing(pos.blackKingSquare),
          ply(pos.ply),
          state(pos.state),
          record(*pos.state),
          historyLength(pos.historyLength) {
        std::memcpy(board, pos.board, sizeof board);
        std::memcpy(pieces, pos.pieces, sizeof pieces);
    }
    bool operator==(const Snapshot& o) const {
        return std::memcmp(board, o.board, sizeof board) == 0 &&
               std::memcmp(pieces, o.pieces, sizeof pieces) == 0 && side == o.side &&
               whiteKing == o.whiteKing && blackKing == o.blackKing && ply == o.ply && state == o.state &&
               std::memcmp(&record, &o.record, sizeof record) == 0 && historyLength == o.historyLength;
    }
};

// Board and bitboards agree with each other.
void expectConsistentBoard(const Position& pos) {
    Bitboard byCode[16] = {};
    for (Square s = 0; s < 64; ++s)
        if (pos.board[s]) byCode[pos.board[s]] |= SquareBB[s];
    Bitboard white = 0, black = 0;
    for (int c = 1; c < 8; ++c) {
        ASSERT_EQ(pos.pieces[c], byCode[c]);
        ASSERT_EQ(pos.pieces[c + 8], byCode[c + 8]);
        white |= byCode[c];
        black |= byCode[c + 8];
    }
    ASSERT_EQ(pos.pieces[WhiteMen], white);
    ASSERT_EQ(pos.pieces[BlackMen], black);
    ASSERT_EQ(pos.pieces[AllMen], white | black);
    ASSERT_EQ(pos.board[pos.whiteKingSquare], WhiteKing);
    ASSERT_EQ(pos.board[pos.blackKingSquare], BlackKing);
}

// Walks the legal move tree; after every make the incrementally kept fields must equal a
// computation from scratch, and every unmake must restore the position bit for bit.
void checkedWalk(Position& pos, int depth, uint64_t& nodes) {
    MoveEntry list[MaxMoves];
    MoveEntry* end = generateAll(pos, list);
    for (MoveEntry* e = list; e < end; ++e) {
        const Move move = entryMove(*e);
        const Snapshot before(pos);
        const Side mover = pos.sideToMove;
        makeMoveAny(pos, move);
        ASSERT_NO_FATAL_FAILURE(expectConsistentBoard(pos));
        const DerivedFields d = computeDerivedFields(pos);
        ASSERT_EQ(pos.state->key, d.key);
        ASSERT_EQ(pos.state->pawnKey, d.pawnKey);
        ASSERT_EQ(pos.state->psqScore, d.psqScore);
        ASSERT_EQ(pos.state->materialInfo & ~IrregularMaterial, d.materialInfo & ~IrregularMaterial);
        // Make may flag irregular material early (a second rook by promotion), never late.
        if (d.materialInfo & IrregularMaterial) {
            ASSERT_NE(pos.state->materialInfo & IrregularMaterial, 0u);
        }
        ASSERT_EQ(pos.keyHistory[pos.historyLength], pos.state->key);
        ASSERT_EQ(pos.state->lastMove, move);
        computeAttacks(pos);
        if (!attackersOf(pos, kingSquare(pos, mover), pos.sideToMove)) {
            ++nodes;
            if (depth > 1) checkedWalk(pos, depth - 1, nodes);
        }
        unmakeMoveAny(pos, move);
        ASSERT_TRUE(Snapshot(pos) == before) << "after " << moveToText(move, reinterpret_cast<char*>(list));
    }
}

}  // namespace

TEST(MakeMove, IncrementalFieldsAndExactUnmake) {
    const struct {
        const char* fen;
        int depth;
    } cases[] = {
        {Kiwipete, 3},     {Promotions, 3},      {PawnOnD7, 2},
        {RookAndPawns, 4}, {Underpromotions, 3}, {EnPassantE3, 3},
    };
    for (const auto& c : cases) {
        Position& pos = setUp(c.fen);
        uint64_t nodes = 0;
        checkedWalk(pos, c.depth, nodes);
        EXPECT_GT(nodes, 0u) << c.fen;
    }
    // Chess960 castling: king and rook on each other's destinations, a king already on its
    // destination, rooks inside the king's path.
    Chess960Mode mode;
    for (const char* fen :
         {"1r3rk1/pppppppp/8/8/8/8/PPPPPPPP/1R3RK1 w FBfb - 0 1", "r4kr1/8/8/8/8/8/8/R4KR1 w GAga - 0 1",
          "1r1kr3/8/8/8/8/8/8/1RK3R1 b GBeb - 0 1"}) {
        Position& pos = setUp(fen);
        ASSERT_TRUE(positionValid) << fen;
        ASSERT_NE(pos.state->castling, 0) << fen;
        uint64_t nodes = 0;
        checkedWalk(pos, 3, nodes);
        EXPECT_GT(nodes, 0u) << fen;
    }
}

TEST(MakeMove, EnPassantSquareAndKeys) {
    Position& pos = setUp(StartFen);
    positionCommand(pos, "startpos moves e2e4");
    EXPECT_EQ(pos.state->epSquare, 0);  // no Black pawn on d4 or f4
    EXPECT_EQ(pos.state->key, computeDerivedFields(pos).key);
    EXPECT_EQ(pos.state->rule50, 0);
    positionCommand(pos, "startpos moves e2e4 g8f6 e4e5 d7d5");
    EXPECT_EQ(pos.state->epSquare, D6);
    EXPECT_EQ(pos.state->key, computeDerivedFields(pos).key);
    positionCommand(pos, "startpos moves e2e4 g8f6 e4e5 d7d5 e5d6");
    EXPECT_EQ(pos.board[D5], NoPiece);
    EXPECT_EQ(pos.board[D6], WhitePawn);
    EXPECT_EQ(pos.state->capturedPiece, NoPiece);
    EXPECT_EQ(pos.state->key, computeDerivedFields(pos).key);
    positionCommand(pos, "startpos moves g1f3 g8f6");
    EXPECT_EQ(pos.state->rule50, 2);
}

TEST(MakeMove, CastlingRightsAndPawnKey) {
    Position& pos = setUp(CastlingBothWays);
    const uint8_t* const castleMask = pos.castle.mask;
    EXPECT_EQ(castleMask[A1], 13);
    EXPECT_EQ(castleMask[E1], 12);
    EXPECT_EQ(castleMask[H1], 14);
    EXPECT_EQ(castleMask[A8], 7);
    EXPECT_EQ(castleMask[E8], 3);
    EXPECT_EQ(castleMask[H8], 11);
    EXPECT_EQ(castleMask[D4], 15);

    const uint64_t key = pos.state->key, pawnKey = pos.state->pawnKey;
    makeMove<White>(pos, encodeMove(H1, H8));  // the rook takes the rook: both short rights go
    EXPECT_EQ(pos.state->castling, 2 | 8);
    EXPECT_NE(pos.state->key, key);
    EXPECT_NE(pos.state->pawnKey, pawnKey);
    EXPECT_EQ(pos.state->pawnKey, computeDerivedFields(pos).pawnKey);
    EXPECT_EQ(pos.state->capturedPiece, BlackRook);
    EXPECT_EQ(pos.state->rule50, 0);
    unmakeMove<White>(pos, encodeMove(H1, H8));

    // A knight move leaves the pawn key alone; a king move changes it.
    setUp("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1");
    const uint64_t before = pos.state->pawnKey;
    makeMove<White>(pos, encodeMove(B1, C3));
    EXPECT_EQ(pos.state->pawnKey, before);
    unmakeMove<White>(pos, encodeMove(B1, C3));
    makeMove<White>(pos, encodeMove(E1, E2));
    EXPECT_NE(pos.state->pawnKey, before);
    EXPECT_EQ(pos.state->pawnKey, computeDerivedFields(pos).pawnKey);
}

TEST(MakeMove, PromotionsAndIrregularMaterial) {
    Position& pos = setUp(PawnOnB7);
    makeMove<White>(pos, encodeMove(B7, B8, MovePromoQueen));
    EXPECT_EQ(pos.state->materialInfo & IrregularMaterial, 0u);  // the first queen
    EXPECT_EQ(pos.board[B8], WhiteQueen);
    EXPECT_EQ(pos.state->materialInfo & 0xFF, 6u);
    unmakeMove<White>(pos, encodeMove(B7, B8, MovePromoQueen));

    setUp("4k3/1P6/8/8/8/8/8/3QK3 w - - 0 1");
    makeMove<White>(pos, encodeMove(B7, B8, MovePromoQueen));
    EXPECT_NE(pos.state->materialInfo & IrregularMaterial, 0u);  // a second queen
    unmakeMove<White>(pos, encodeMove(B7, B8, MovePromoQueen));
    EXPECT_EQ(pos.state->materialInfo & IrregularMaterial, 0u);

    // A bishop takes the code of its square's colour: b8 is dark, a8 light.
    setUp("n3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    makeMove<White>(pos, encodeMove(B7, B8, MovePromoBishop));
    EXPECT_EQ(pos.board[B8], WhiteDarkBishop);
    unmakeMove<White>(pos, encodeMove(B7, B8, MovePromoBishop));
    makeMove<White>(pos, encodeMove(B7, A8, MovePromoBishop));
    EXPECT_EQ(pos.board[A8], WhiteLightBishop);
    EXPECT_EQ(pos.state->capturedPiece, BlackKnight);
    unmakeMove<White>(pos, encodeMove(B7, A8, MovePromoBishop));
    EXPECT_EQ(pos.board[A8], BlackKnight);
    EXPECT_EQ(pos.board[B7], WhitePawn);
}

TEST(MakeMove, NullMove) {
    Position& pos = setUp(StartFen);
    pos.state->evalScore = 50;
    pos.state->positionalScore = 17;
    pos.state->materialFlags = 0x07;
    const uint64_t key = pos.state->key;
    const uint64_t nodes = pos.nodes;
    StateRecord* const record = pos.state;
    makeNullMove(pos);
    EXPECT_EQ(pos.state->evalScore, -50 - 12);  // phase 32: 4 + 32 / 4
    EXPECT_EQ(pos.state->positionalScore, 17);
    EXPECT_EQ(pos.state->materialFlags, 0x04);
    EXPECT_EQ(pos.state->key, key ^ SideKey);
    EXPECT_EQ(pos.state->lastMove, NoMove);
    EXPECT_EQ(pos.state->rule50, 1);
    EXPECT_EQ(pos.sideToMove, Black);
    EXPECT_EQ(pos.ply, 1);
    EXPECT_EQ(pos.nodes, nodes + 1);
    EXPECT_EQ(pos.keyHistory[pos.historyLength], key ^ SideKey);
    record->materialFlags = 0;  // the search may overwrite it below the null move
    unmakeNullMove(pos);
    EXPECT_EQ(pos.state, record);
    EXPECT_EQ(pos.state->materialFlags, 0x07);
    EXPECT_EQ(pos.sideToMove, White);
    EXPECT_EQ(pos.ply, 0);
    EXPECT_EQ(pos.historyLength, 0u);

    // The null move drops an en-passant square from the key.
    positionCommand(pos, "startpos moves e2e4 g8f6 e4e5 d7d5");
    makeNullMove(pos);
    EXPECT_EQ(pos.state->epSquare, 0);
    EXPECT_EQ(pos.state->key, computeDerivedFields(pos).key);
    unmakeNullMove(pos);
}

TEST(MakeMove, NodeCountAndSaturatedRule50) {
    Position& pos = setUp("4k3/8/8/8/8/8/8/4K3 w - - 254 1");
    const uint64_t nodes = pos.nodes;
    makeMoveAny(pos, encodeMove(E1, E2));  // command-line moves are not counted
    EXPECT_EQ(pos.nodes, nodes);
    EXPECT_EQ(pos.state->rule50, 255);
    makeMove<Black>(pos, encodeMove(E8, E7));
    EXPECT_EQ(pos.nodes, nodes + 1);
    EXPECT_EQ(pos.state->rule50, 255);
    makeNullMove(pos);
    EXPECT_EQ(pos.state->rule50, 255);
    unmakeNullMove(pos);
    unmakeMove<Black>(pos, encodeMove(E8, E7));
    unmakeMoveAny(pos, encodeMove(E1, E2));
    EXPECT_EQ(pos.state->rule50, 254);
}
