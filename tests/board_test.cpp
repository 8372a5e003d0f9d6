#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "board/attackmap.h"
#include "board/makemove.h"
#include "board/zobrist.h"
#include "board_fixture.h"
#include "core/flags.h"
#include "test_positions.h"

namespace {

Bitboard squares(std::initializer_list<int> list) {
    Bitboard b = 0;
    for (int s : list) b |= Bitboard(1) << s;
    return b;
}

// Reference slider attacks, walked square by square.
Bitboard walkAttacks(Square s, Bitboard occupied, bool bishop) {
    static const int Straight[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    static const int Diagonal[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    Bitboard result = 0;
    for (const auto& d : bishop ? Diagonal : Straight) {
        for (int f = fileOf(s) + d[0], r = rankOf(s) + d[1]; f >= 0 && f < 8 && r >= 0 && r < 8;
             f += d[0], r += d[1]) {
            result |= Bitboard(1) << makeSquare(f, r);
            if (occupied & (Bitboard(1) << makeSquare(f, r))) break;
        }
    }
    return result;
}

}  // namespace

TEST(Bitboards, SliderLookupMatchesRayWalk) {
    buildTables();
    EXPECT_EQ(rookAttacks(A1, 0), (FileMask[0] | RankMask[0]) & ~SquareBB[A1]);
    EXPECT_EQ(rookAttacks(A1, SquareBB[A4]), squares({A2, A3, A4, B1, C1, D1, E1, F1, G1, H1}));
    EXPECT_EQ(bishopAttacks(D4, squares({B2, F6, G1, A7})),
              squares({C3, B2, E5, F6, E3, F2, G1, C5, B6, A7}));
    // Every multiplier must map every occupancy to the right attack set; random occupancies
    // of all densities over all squares catch a bad one.
    std::mt19937_64 rng(7);
    for (int round = 0; round < 300; ++round) {
        const Bitboard occupied = rng() & rng() & (round % 2 ? rng() : ~Bitboard(0));
        for (Square s = 0; s < 64; ++s) {
            ASSERT_EQ(bishopAttacks(s, occupied), walkAttacks(s, occupied, true)) << s;
            ASSERT_EQ(rookAttacks(s, occupied), walkAttacks(s, occupied, false)) << s;
        }
    }
    EXPECT_EQ(RookMultipliers[A1], 0x6C80104004208000ull);
    EXPECT_EQ(BishopMultipliers[H8], 0x1264043818010098ull);
    EXPECT_EQ(&BishopMagics[H8].attacks[1ull << BishopIndexBits[H8]] - BishopAttackTable, BishopTableSize);
    EXPECT_EQ(&RookMagics[H8].attacks[1ull << RookIndexBits[H8]] - RookAttackTable, RookTableSize);
}

TEST(Bitboards, LineAndEvasionTables) {
    buildTables();
    EXPECT_EQ(LineType[A1][H8], 1);
    EXPECT_EQ(LineType[H1][A8], 0);
    EXPECT_EQ(LineType[A1][A8], 3);
    EXPECT_EQ(LineType[A1][H1], 2);
    EXPECT_EQ(LineType[A1][B3], 37);
    EXPECT_EQ(BlockOrCapture[E1][E8], squares({E2, E3, E4, E5, E6, E7, E8}));
    EXPECT_EQ(BlockOrCapture[E1][F3], SquareBB[F3]);
    EXPECT_EQ(KingEvasion[E4][E8], KingAttacks[E4] & ~squares({E3, E5}));
    EXPECT_EQ(KingEvasion[E4][E5], KingAttacks[E4] & ~squares({E3}));
    EXPECT_EQ(KingEvasion[E4][C6], KingAttacks[E4] & ~squares({D5, F3}));
    EXPECT_EQ(KingEvasion[E4][F6], KingAttacks[E4]);
    EXPECT_EQ(KingEvasion[A1][H8], squares({A2, B1}));  // b2 toward the checker, nothing behind
    EXPECT_EQ(PawnAttacks[White][A2], SquareBB[B3]);
    EXPECT_EQ(PawnAttacks[Black][H7], SquareBB[G6]);
    EXPECT_EQ(PawnAttacks[Black][E4], squares({D3, F3}));
    EXPECT_EQ(PassedPawnSpan[White][A6], squares({A7, B7, A8, B8}));
    EXPECT_EQ(PassedPawnSpan[Black][E2], squares({D1, E1, F1}));
    EXPECT_EQ(KnightAttacks[A1], squares({B3, C2}));
    EXPECT_EQ(popCount(KingAttacks[E4]), 8);
    EXPECT_TRUE(isDarkSquare(A1));
    EXPECT_FALSE(isDarkSquare(H1));
    EXPECT_TRUE(isDarkSquare(H8));
    EXPECT_FALSE(isDarkSquare(A8));
    EXPECT_TRUE(isDarkSquare(E5));
}

TEST(Bitboards, PopCountRoutinesAgree) {
    buildTables();
    std::mt19937_64 rng(11);
    const uint8_t chosen = popCountHardware;
    for (int i = 0; i < 20000; ++i) {
        const Bitboard b = i < 64 ? (Bitboard(1) << i) - 1 : rng() & (i % 3 ? rng() : ~Bitboard(0));
        ASSERT_EQ(popCountSoftware(b), popCountInstruction(b));
        popCountHardware = 0;
        const int soft = popCount(b);
        popCountHardware = 1;
        ASSERT_EQ(soft, popCount(b));
        ASSERT_EQ(soft, __builtin_popcountll(b));
    }
    EXPECT_EQ(popCountSoftware(~Bitboard(0)), 64);
    EXPECT_EQ(lowestSquare(SquareBB[H8] | SquareBB[A8]), A8);
    EXPECT_EQ(lowestSquare(Bitboard(1) << 40), 40);
    popCountHardware = chosen;
}

TEST(Zobrist, GeneratorDrawOrderAndRefill) {
    Position& pos = setUp(StartFen);
    const uint64_t before = pos.state->key;
    EXPECT_EQ(setUp(StartFen).state->key, before);  // same tables, same key

    const uint64_t savedState = randomState;
    randomState = 1;  // the state a fresh process starts with
    zobristInit();
    EXPECT_EQ(castleKey[0], 0u);
    EXPECT_EQ(castleKey[1], 0x11c6f2a70f50e768ull);
    EXPECT_EQ(castleKey[8], 0x03779ff6ecf442e0ull);
    EXPECT_EQ(castleKey[15], castleKey[1] ^ castleKey[2] ^ castleKey[4] ^ castleKey[8]);
    EXPECT_EQ(castleKey[6], castleKey[2] ^ castleKey[4]);
    EXPECT_EQ(psqKey[1][12], 0xccb647abdd191e5full);
    EXPECT_EQ(psqKey[15][63], 0x41a4c4028c3fe8abull);
    EXPECT_EQ(epKey[7], 0x47d4765f542515ecull);

    // A refill (a change of the hash size) draws fresh keys: the same position gets a new key.
    randomState = savedState;
    const uint64_t first = setUp(StartFen).state->key;
    zobristInit();
    EXPECT_NE(setUp(StartFen).state->key, first);
}

TEST(Position, SetUpFromBoard) {
    Position& pos = setUp(StartFen);
    EXPECT_EQ(pos.state->materialInfo & 0xFF, 32u);
    EXPECT_EQ(pos.state->materialInfo & IrregularMaterial, 0u);
    EXPECT_EQ(pos.state->castling, 15);
    EXPECT_EQ(pos.state, pos.stateBase);
    EXPECT_EQ(pos.whiteKingSquare, E1);
    EXPECT_EQ(pos.blackKingSquare, E8);
    EXPECT_EQ(pos.board[C1], WhiteDarkBishop);
    EXPECT_EQ(pos.board[F1], WhiteLightBishop);
    EXPECT_EQ(pos.board[C8], BlackLightBishop);
    EXPECT_EQ(pos.pieces[AllMen], RankMask[0] | RankMask[1] | RankMask[6] | RankMask[7]);
    EXPECT_EQ(pos.state->psqScore, 0);  // Black's table mirrors White's
    EXPECT_TRUE(positionValid);

    const uint64_t whiteKey = setUp(ShortCastlingWhite).state->key;
    const uint64_t blackKey = setUp(ShortCastlingBlack).state->key;
    EXPECT_EQ(whiteKey ^ blackKey, SideKey);

    EXPECT_NE(setUp("4k3/8/8/8/8/8/8/1Q2K1Q1 w - - 0 1").state->materialInfo & IrregularMaterial, 0u);
    EXPECT_NE(setUp("4k3/8/8/8/8/8/8/1B2K2B w - - 0 1").state->materialInfo & IrregularMaterial,
              0u);  // two light
    EXPECT_EQ(setUp("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1").state->materialInfo & IrregularMaterial,
              0u);  // a pair
}

TEST(Position, ValidityChecks) {
    const char* const valid[] = {
        StartFen,
        BareKings,
        "QQQQQQQQ/Q7/8/8/8/8/8/K6k b - - 0 1",  // nine queens, Black not stalemated matters not
        CastlingBothWays,
    };
    for (const char* fen : valid) {
        setUp(fen);
        EXPECT_TRUE(positionValid) << fen;
    }
    const char* const invalid[] = {
        NoBlackKing,
        "k7/8/8/8/8/8/8/K6K w - - 0 1",                  // two White kings
        "k7/8/8/8/8/8/8/8 w - - 0 1",                    // no White king
        "k7/pppppppp/p7/8/8/8/8/K7 w - - 0 1",           // nine pawns
        "k6P/8/8/8/8/8/8/K7 w - - 0 1",                  // pawn on rank 8
        "k7/8/8/8/8/8/8/K6p w - - 0 1",                  // pawn on rank 1
        "QQQQQQQQ/QQ6/8/8/8/8/8/K6k b - - 0 1",          // ten queens
        "NNNNNNNN/NNN5/8/8/8/8/8/K6k b - - 0 1",         // eleven knights
        "rrrrrrrr/rrr5/8/8/8/8/8/K6k w - - 0 1",         // eleven rooks
        "B1B1B1B1/1B1B1B1B/B1B5/8/8/8/8/K6k w - - 0 1",  // ten bishops of one colour
        "BBBBBBBB/BBB5/8/8/8/8/8/K6k w - - 0 1",         // eleven bishops
        "QQQQQQQQ/RRRRRRRR/N7/8/8/8/8/K6k w - - 0 1",    // seventeen men
    };
    for (const char* fen : invalid) {
        setUp(fen);
        EXPECT_FALSE(positionValid) << fen;
    }
    // A castling right without its king and rook is dropped; the position stays valid.
    const std::pair<const char*, int> droppedRights[] = {
        {RookH1Missing, 14},                           // short right without its rook
        {"r3k2r/8/8/8/8/8/8/R4K1R w KQkq - 0 1", 12},  // rights without the king on e1
        {"1r2k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 7},  // long right without the a8 rook
    };
    for (const auto& [fen, rights] : droppedRights) {
        EXPECT_EQ(setUp(fen).state->castling, rights) << fen;
        EXPECT_TRUE(positionValid) << fen;
    }
    setUp(CheckNotToMove);  // White to move, Black king already in check
    EXPECT_FALSE(positionValid);
    setUp("4k3/8/8/8/8/8/8/4R1K1 b - - 0 1");  // Black to move and in check: fine
    EXPECT_TRUE(positionValid);
}

// Text that is not a FEN never makes the parser read or write out of bounds, and leaves a
// position the rest of the engine can look at without faulting.
TEST(Fen, MalformedTextIsHarmless) {
    const char* const cases[] = {
        "",
        "   ",
        "/",
        "////////////////////",
        "99999999/9/9/9/9/9/9/9 w KQkq - 0 1",
        "rnbqkbnrrnbqkbnrrnbqkbnr/pppppppppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/8/8/8/KQ w KQkq - 0 1",
        "rnbqkbnr/pppp",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq z9 99999999999999999999 1",
        "xyz w - - 0 1",
        "K7/8/8/8/8/8/8/8 w KQkq h3 0 1",
        "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ w KQkq - 0 1",
        "kkkkkkkk/8/8/8/8/8/8/KKKKKKKK w - - 0 1",
        "PPPPPPPP/PPPPPPPP/8/8/8/8/pppppppp/pppppppp w - - 0 1",
    };
    for (const char* text : cases) {
        Position& pos = setUp(text);
        positionCommand(pos, (std::string("fen ") + text + " moves e2e4 e7e5 a7a8q e1g1").c_str());
        EXPECT_LE(pos.state - pos.stateBase, 4) << text;
    }
    // Very long fields and move lists.
    const std::string longText = std::string(100000, '8') + " w " + std::string(5000, 'K') + " e3 " +
                                 std::string(3000, '9') + " 1 moves " + std::string(20000, 'e');
    positionCommand(testPosition(), ("fen " + longText).c_str());
    EXPECT_FALSE(positionValid);
    const PositionSetUp longWord =
        positionCommand(testPosition(), ("startpos moves " + std::string(50000, 'a') + " e2e4").c_str());
    EXPECT_EQ(testPosition().board[E2], WhitePawn);  // the word ends the list
    EXPECT_EQ(std::string(longWord.illegalMove), std::string(MoveWordSize - 1, 'a'));

    Position& pos = setUp("9/8/8/8/8/8/8/K6k w - - 0 1");
    EXPECT_EQ(pos.board[A1], WhiteKing);
    EXPECT_FALSE(positionValid);  // read as far as it goes, but no board
    setUp("");
    EXPECT_FALSE(positionValid);

    // Mutated FENs: random replacements, deletions and insertions of FEN characters.
    const std::string alphabet = "pnbrqkPNBRQK12345678/ -wbKQkqe3609abcdefgh\t";
    const char* const seeds[] = {
        StartFen,
        Kiwipete,
        EnPassantF6,
    };
    std::mt19937 rng(2024);
    for (int round = 0; round < 3000; ++round) {
        std::string fen = seeds[round % 3];
        const int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits && !fen.empty(); ++e) {
            const size_t at = rng() % fen.size();
            const char c = alphabet[rng() % alphabet.size()];
            switch (rng() % 3) {
                case 0:
                    fen[at] = c;
                    break;
                case 1:
                    fen.erase(at, 1);
                    break;
                default:
                    fen.insert(at, 1, c);
                    break;
            }
        }
        Position& p = testPosition();
        positionCommand(p, ("fen " + fen + " moves e2e4 d7d5 e4d5 g8f6 e1g1 e5f6").c_str());
        if (positionValid) {
            const DerivedFields d = computeDerivedFields(p);
            ASSERT_EQ(d.key, p.state->key) << fen;
        }
    }
}

TEST(Fen, FieldRules) {
    Position& pos = setUp(BareKings);
    EXPECT_EQ(pos.state->castling, 0);
    EXPECT_EQ(pos.state->epSquare, 0);
    EXPECT_EQ(pos.board[A1], WhiteKing);
    EXPECT_EQ(pos.board[H1], BlackKing);

    EXPECT_EQ(setUp("r3k2r/8/8/8/8/8/8/R3K2R w QKkq - 0 1").state->castling, 0);  // letters out of order
    EXPECT_EQ(setUp("r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1").state->castling, 9);
    EXPECT_EQ(setUp(CastlingBothWays).state->castling, 15);

    // e3 with Black to move counts only with a Black pawn ready to take on d4 or f4.
    EXPECT_EQ(setUp("4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1").state->epSquare, 0);
    EXPECT_EQ(setUp("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1").state->epSquare, E3);
    EXPECT_EQ(setUp("4k3/8/8/4Pp2/8/8/8/4K3 w - f6 0 1").state->epSquare, F6);
    EXPECT_EQ(setUp("4k3/8/8/4Pp2/8/8/8/4K3 w - d6 0 1").state->epSquare, 0);
    // A target whose pushed pawn is missing would make en passant remove a man that is not there.
    EXPECT_EQ(setUp("4k3/8/8/4P3/8/8/8/4K3 w - f6 0 1").state->epSquare, 0);
    EXPECT_EQ(setUp("4k3/8/8/8/8/8/4P3/4K3 w - f3 0 1").state->epSquare, 0);  // wrong rank

    EXPECT_EQ(setUp("4k3/8/8/8/8/8/8/4K3 w - - 37 80").state->rule50, 37);
    EXPECT_EQ(setUp("4k3/8/8/8/8/8/8/4K3 w - - 300 80").state->rule50, 255);
    EXPECT_EQ(setUp("4k3/8/8/8/8/8/8/4K3 b - -").sideToMove, Black);

    Position& p = testPosition();
    const char* text = "4k3/8/8/8/8/8/8/4K3   w  -  -  5 9 moves e1e2";
    EXPECT_STREQ(parseFen(p, text), " moves e1e2");
    EXPECT_EQ(p.state->rule50, 5);
    EXPECT_STREQ(parseFen(p, "4k3/8/8/8/8/8/8/4K3 b - - x y"), " x y");
    EXPECT_EQ(p.sideToMove, Black);
}

TEST(Fen, MoveText) {
    char buffer[8];
    EXPECT_STREQ(moveToText(encodeMove(B7, A8, MovePromoKnight), buffer), "b7a8n");
    EXPECT_STREQ(moveToText(encodeMove(G2, H1, MovePromoQueen), buffer), "g2h1q");
    EXPECT_STREQ(moveToText(encodeMove(E1, G1, MoveCastling), buffer), "e1g1");
    EXPECT_STREQ(moveToText(NoMove, buffer), "NULL");

    Position& pos = setUp("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1");
    EXPECT_EQ(moveFromText(pos, encodeMove(E1, G1)), encodeMove(E1, G1, MoveCastling));
    EXPECT_EQ(moveFromText(pos, encodeMove(E1, C1)), encodeMove(E1, C1, MoveCastling));
    EXPECT_EQ(moveFromText(pos, encodeMove(E5, D6)), encodeMove(E5, D6, MoveEnPassant));
    EXPECT_EQ(moveFromText(pos, encodeMove(E1, F1)), encodeMove(E1, F1));
    EXPECT_EQ(moveFromText(pos, encodeMove(A1, C1)), encodeMove(A1, C1));  // a rook, not a king
    EXPECT_EQ(moveFromText(pos, NoMove), NoMove);
}

TEST(PositionCommand, MovesAreMatchedAndMade) {
    Position& pos = testPosition();
    positionCommand(pos, "startpos moves e2e4 e7e5");
    EXPECT_EQ(pos.sideToMove, White);
    EXPECT_EQ(pos.historyLength, 0u);
    EXPECT_EQ(pos.ply, 0);
    EXPECT_EQ(pos.board[E4], WhitePawn);
    EXPECT_EQ(pos.board[E5], BlackPawn);
    EXPECT_EQ(pos.state, pos.stateBase + 2);
    EXPECT_TRUE(positionValid);

    positionCommand(pos, "startpos");
    EXPECT_EQ(pos.state, pos.stateBase);
    positionCommand(pos, "  startpos   moves   d2d4\td7d5 ");
    EXPECT_EQ(pos.board[D5], BlackPawn);
    EXPECT_EQ(pos.sideToMove, White);

    positionCommand(pos, "fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 e8c8");
    EXPECT_EQ(pos.board[G1], WhiteKing);
    EXPECT_EQ(pos.board[F1], WhiteRook);
    EXPECT_EQ(pos.board[C8], BlackKing);
    EXPECT_EQ(pos.board[D8], BlackRook);
    EXPECT_EQ(pos.state->castling, 0);

    // A word that is no legal move ends the list, and the moves after it are not made: a
    // word that names no move, a move of a pinned knight, a rook move through a man, a king
    // stepping next to the other king.
    const struct {
        const char* arguments;
        const char* illegal;
        Square king;  // where the king of the side to move stands afterwards
        Side toMove;
    } Illegal[] = {
        {"fen 4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1 moves zz e1d1", "zz", E1, White},
        {"fen 4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1 moves e9e4 e1d1", "e9e4", E1, White},
        {"fen 4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1 moves e2c3 e1d1", "e2c3", E1, White},
        {"fen 4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1 moves e1d1 e7e1 e8d8", "e7e1", E8, Black},
        {"fen 8/8/8/3k4/8/3K4/8/8 b - - 0 1 moves d5d4 d5e5", "d5d4", D5, Black},
        {"startpos moves e2e4 e7e5 e1e3 g1f3", "e1e3", E1, White},
    };
    for (const auto& c : Illegal) {
        const PositionSetUp result = positionCommand(pos, c.arguments);
        EXPECT_STREQ(result.illegalMove, c.illegal) << c.arguments;
        EXPECT_EQ(kingSquare(pos, pos.sideToMove), c.king) << c.arguments;
        EXPECT_EQ(pos.sideToMove, c.toMove) << c.arguments;
        EXPECT_TRUE(positionValid) << c.arguments;
    }

    // An unknown first word leaves the position; "moves" is still honoured.
    positionCommand(pos, "startpos");
    positionCommand(pos, "foo moves e2e4");
    EXPECT_EQ(pos.board[E4], WhitePawn);
    // "startpos" and "fen" at the very end of the text.
    positionCommand(pos, "startpos");
    EXPECT_EQ(pos.board[E2], WhitePawn);
    positionCommand(pos, "fen");
    EXPECT_FALSE(positionValid);
}

// A move list far longer than the state stack folds the applied records back to the start
// of the stack, keeping the search's room above it and the recent records for repetitions.
TEST(PositionCommand, LongMoveListsStayInsideTheStack) {
    Position& pos = testPosition();
    std::string text = "startpos moves";
    const char* const shuffle[4] = {" g1f3", " g8f6", " f3g1", " f6g8"};
    for (int ply = 0; ply < 5000; ++ply) text += shuffle[ply % 4];
    positionCommand(pos, text.c_str());
    EXPECT_LE(pos.state - pos.stateBase, MoveListStateLimit);
    EXPECT_GE(pos.state - pos.stateBase, FoldKeep - 1);
    EXPECT_EQ(pos.historyLength, 0u);
    EXPECT_EQ(pos.state->rule50, 255);  // saturated, not wrapped
    EXPECT_EQ(std::memcmp(pos.board, setUp(StartFen).board, 64), 0);
    positionCommand(pos, text.c_str());
    // The folded records hold the last plies: the key two moves back repeats the current one.
    EXPECT_EQ((pos.state - 4)->key, pos.state->key);
    EXPECT_EQ(pos.state->lastMove, encodeMove(F6, G8));
    const DerivedFields d = computeDerivedFields(pos);
    EXPECT_EQ(d.key, pos.state->key);
    EXPECT_EQ(d.pawnKey, pos.state->pawnKey);

    // A long random game with captures, promotions and castling, played out here and then
    // given as one move list: the command must reach the same position.
    std::mt19937 rng(99);
    for (int attempt = 0; attempt < 20; ++attempt) {
        Position& game = secondPosition();
        positionCommand(game, "startpos");
        std::string moves = "startpos moves";
        const int plies = playRandomMoves(game, 5000, rng, [&](Move move) {
            char word[8];
            moves += ' ';
            moves += moveToText(move, word);
            game.historyLength = 0;
            if (game.state - game.stateBase >= MoveListStateLimit) {
                // Keep the generating game inside its own stack the same way.
                std::memmove(static_cast<void*>(game.stateBase), game.state - (FoldKeep - 1),
                             FoldKeep * sizeof(StateRecord));
                game.state = game.stateBase + (FoldKeep - 1);
            }
        });
        if (plies < 3000) continue;  // mated or stalemated early: try another game
        const uint64_t key = game.state->key;
        uint8_t board[64];
        std::memcpy(board, game.board, 64);
        Position& replay = testPosition();
        positionCommand(replay, moves.c_str());
        EXPECT_EQ(replay.state->key, key);
        EXPECT_EQ(std::memcmp(replay.board, board, 64), 0);
        EXPECT_LE(replay.state - replay.stateBase, MoveListStateLimit);
        return;
    }
    FAIL() << "no random game lasted 3000 plies";
}
