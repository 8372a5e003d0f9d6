// Chess960: the castling field in Shredder-FEN and X-FEN, castling with any rook, the
// king-takes-rook notation, and perft against an independent engine's counts.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/zobrist.h"
#include "board_fixture.h"
#include "chess960_positions.h"
#include "engine_process.h"
#include "movegen/perft.h"

namespace {

Position& setUp960(const std::string& fen) { return positionFrom("fen " + fen); }

// A Chess960 back rank from its number (0 to 959): bishops on both colours, then the queen
// and the knights, the king between the rooks.
std::string backRank(int number) {
    char rank[9] = "........";
    rank[2 * (number % 4) + 1] = 'b';
    number /= 4;
    rank[2 * (number % 4)] = 'b';
    number /= 4;
    auto placeOnFree = [&](int index, char piece) {
        for (int i = 0; i < 8; ++i)
            if (rank[i] == '.' && index-- == 0) rank[i] = piece;
    };
    placeOnFree(number % 6, 'q');
    number /= 6;
    static const int Knights[10][2] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2},
                                       {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
    placeOnFree(Knights[number][1], 'n');
    placeOnFree(Knights[number][0], 'n');
    placeOnFree(0, 'r');
    placeOnFree(0, 'k');
    placeOnFree(0, 'r');
    return rank;
}

std::string upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The start of double Chess960 with the two back ranks, every right in Shredder-FEN.
std::string startFen(int white, int black) {
    const std::string w = backRank(white), b = backRank(black);
    std::string rights;
    for (int file = 7; file >= 0; --file)
        if (w[file] == 'r') rights += char('A' + file);
    for (int file = 7; file >= 0; --file)
        if (b[file] == 'r') rights += char('a' + file);
    return b + "/pppppppp/8/8/8/8/PPPPPPPP/" + upper(w) + " w " + rights + " - 0 1";
}

}  // namespace

TEST(Chess960, BackRanksByNumber) {
    EXPECT_EQ(backRank(518), "rnbqkbnr");  // the standard arrangement
    EXPECT_EQ(backRank(0), "bbqnnrkr");
    EXPECT_EQ(backRank(959), "rkrnnqbb");
}

// Leaf counts of Stockfish in its Chess960 mode (tests/chess960_positions.h).
TEST(Chess960, PerftMatchesAnIndependentCount) {
    Chess960Mode mode;
    for (const Chess960Perft& p : Chess960PerftPositions) {
        Position& pos = setUp960(p.fen);
        ASSERT_TRUE(positionValid) << p.fen;
        EXPECT_EQ(perft(pos, p.depth), p.nodes) << p.fen;
    }
}

// Each castling case in both forms of the castling field, with the king-takes-rook text:
// whether it is legal, and where king and rook stand after it.
TEST(Chess960, CastlingWithAnyRook) {
    Chess960Mode mode;
    const struct {
        const char* board;  // the FEN without its castling field and counters
        const char* shredder;
        const char* xfen;
        const char* move;
        Square king, rook;  // after castling; the king's square 0 when castling is illegal
    } Cases[] = {
        // The king already on its destination: only the rook moves.
        {"4k3/8/8/8/8/8/8/6KR w", "H", "K", "g1h1", G1, F1},
        // The rook already on its destination: only the king moves.
        {"4k3/8/8/8/8/8/8/4KR2 w", "F", "K", "e1f1", G1, F1},
        // King and rook trade squares.
        {"4k3/8/8/8/8/8/8/5KR1 w", "G", "K", "f1g1", G1, F1},
        // The rook between the king and its destination.
        {"4k3/8/8/8/8/8/8/1KR5 w", "C", "K", "b1c1", G1, F1},
        // Long castling from the far side, and Black's from the corner.
        {"4k3/8/8/8/8/8/8/1R4K1 w", "B", "Q", "g1b1", C1, D1},
        {"rk6/8/8/8/8/8/8/4K3 b", "a", "q", "b8a8", C8, D8},
        // The rook on b1 shields c1 from the queen on a1: once it has moved the king would
        // stand in check there.
        {"4k3/8/8/8/8/8/8/qR1K4 w", "B", "Q", "d1b1", 0, 0},
        // The king crosses e1, which the rook on e8 attacks.
        {"4r1k1/8/8/8/8/8/8/1K5R w", "H", "K", "b1h1", 0, 0},
        // A man on a square the rook crosses.
        {"4k3/8/8/8/8/8/8/1KN4R w", "H", "K", "b1h1", 0, 0},
    };
    for (const auto& c : Cases) {
        for (const char* field : {c.shredder, c.xfen}) {
            const std::string fen = std::string(c.board) + " " + field + " - 0 1";
            Position& pos = setUp960(fen);
            ASSERT_TRUE(positionValid) << fen;
            ASSERT_NE(pos.state->castling, 0) << fen;
            const std::vector<std::string> legal = legalMoveTexts(pos);
            const bool listed = std::find(legal.begin(), legal.end(), c.move) != legal.end();
            EXPECT_EQ(listed, c.king != 0) << fen << " " << c.move;
            if (!c.king) continue;
            const Side us = pos.sideToMove;
            const PositionSetUp result = positionCommand(pos, ("fen " + fen + " moves " + c.move).c_str());
            EXPECT_STREQ(result.illegalMove, "") << fen;
            EXPECT_EQ(pos.board[c.king], pieceFor(us, King)) << fen;
            EXPECT_EQ(pos.board[c.rook], pieceFor(us, Rook)) << fen;
            EXPECT_EQ(popCount(pos.pieces[pieceFor(us, Rook)]), 1) << fen;
            EXPECT_EQ(pos.state->castling, 0) << fen;
            EXPECT_EQ(pos.state->key, computeDerivedFields(pos).key) << fen;
        }
    }
}

// A Chess960 position set up with the option, which is then switched off, still plays by
// its castling rules. Castling is
// written as the king's move two files over where the king moves two files, and as the king
// taking its rook where it moves one file, none or more: every legal move's text reads back
// as that move.
TEST(Chess960, CastlingTextWithoutTheOptionReadsBack) {
    const struct {
        const char* fen;
        const char* castling;
    } Cases[] = {
        {"4k3/8/8/8/8/8/8/4KR2 w F - 0 1", "e1g1"}, {"4k3/8/8/8/8/8/8/6KR w H - 0 1", "g1h1"},
        {"4k3/8/8/8/8/8/8/5KR1 w G - 0 1", "f1g1"}, {"4k3/8/8/8/8/8/8/1KR5 w C - 0 1", "b1c1"},
        {"k7/8/8/8/8/8/8/3K3R w H - 0 1", "d1h1"},
    };
    for (const auto& c : Cases) {
        Position* set = nullptr;
        {
            Chess960Mode mode;
            set = &setUp960(c.fen);
        }
        Position& pos = *set;
        ASSERT_TRUE(positionValid) << c.fen;
        const std::vector<std::string> texts = legalMoveTexts(pos);
        EXPECT_NE(std::find(texts.begin(), texts.end(), c.castling), texts.end()) << c.fen;
        for (const Move m : legalMoves(pos)) {
            char text[8];
            moveToText(m, text, pos);
            EXPECT_EQ(legalMoveFromText(pos, text, std::strlen(text)), m) << c.fen << " " << text;
        }
    }
}

// The castling field in both forms, and the letters that give no right: each is dropped
// and reported, and the board stays playable.
TEST(Chess960, CastlingFields) {
    Chess960Mode mode;
    const struct {
        const char* fen;
        uint8_t rights;
        const char* ignored;
    } Cases[] = {
        {"rkr5/8/8/8/8/8/8/RKR5 w CAca - 0 1", 15, ""},
        {"rkr5/8/8/8/8/8/8/RKR5 w KQkq - 0 1", 15, ""},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1", 15, ""},
        // X-FEN names an inner rook by its file.
        {"4k3/8/8/8/8/8/8/R1R1K2R w KC - 0 1", 3, ""},
        // A file with no rook, no rook on the king's side, the king's own file, a letter of
        // no kind.
        {"4k3/8/8/8/8/8/8/4K2R w HD - 0 1", 1, "D"},
        {"4k3/8/8/8/8/8/8/R3K3 w KQ - 0 1", 2, "K"},
        {"4k3/8/8/8/8/8/8/R3K2R w EHx - 0 1", 1, "Ex"},
        // Two castling rooks on one side of the king.
        {"4k3/8/8/8/8/8/8/4K1RR w HG - 0 1", 1, "G"},
        {"4k3/8/8/8/8/8/8/4K1RR w KG - 0 1", 1, "G"},
        // A king off its back rank castles nowhere; Black's rights are read on rank 8.
        {"4k3/8/8/8/8/8/4K3/R6R w HA - 0 1", 0, "HA"},
        {"r3k2r/8/8/8/8/8/8/4K3 b hA - 0 1", 4, "A"},
    };
    for (const auto& c : Cases) {
        Position& pos = testPosition();
        const PositionSetUp result = positionCommand(pos, (std::string("fen ") + c.fen).c_str());
        EXPECT_TRUE(positionValid) << c.fen;
        EXPECT_EQ(pos.state->castling, c.rights) << c.fen;
        EXPECT_STREQ(result.ignoredCastling, c.ignored) << c.fen;
        EXPECT_EQ(pos.state->key, computeDerivedFields(pos).key) << c.fen;
    }
    // The same FEN in both forms gives the same castling rules.
    Position& shredder = setUp960("1rk1r3/8/8/8/8/8/8/1RK1R3 w EBeb - 0 1");
    Position& xfen = secondPosition();
    positionCommand(xfen, "fen 1rk1r3/8/8/8/8/8/8/1RK1R3 w KQkq - 0 1");
    const CastlingRules &a = shredder.castle, &b = xfen.castle;
    EXPECT_EQ(std::memcmp(a.mask, b.mask, sizeof a.mask), 0);
    EXPECT_EQ(std::memcmp(a.king, b.king, sizeof a.king), 0);
    EXPECT_EQ(std::memcmp(a.rook, b.rook, sizeof a.rook), 0);
    EXPECT_EQ(std::memcmp(a.path, b.path, sizeof a.path), 0);
    EXPECT_EQ(std::memcmp(a.kingPath, b.kingPath, sizeof a.kingPath), 0);
    EXPECT_EQ(shredder.state->key, xfen.state->key);
}

// Random games from many starts, single and double Chess960: after every move the keys
// equal a computation from scratch, the move list replayed as text reaches the same
// position, and taking every move back restores the start.
TEST(Chess960, RandomGamesKeepKeysAndBoard) {
    Chess960Mode mode;
    std::mt19937 rng(960);
    for (int game = 0; game < 60; ++game) {
        const int white = int(rng() % 960), black = game % 2 ? int(rng() % 960) : white;
        const std::string fen = startFen(white, black);
        Position& pos = secondPosition();
        positionCommand(pos, ("fen " + fen).c_str());
        ASSERT_TRUE(positionValid) << fen;
        uint8_t start[64];
        std::memcpy(start, pos.board, 64);
        const uint64_t startKey = pos.state->key;
        std::string moves = "fen " + fen + " moves";
        std::vector<Move> played;
        playRandomMoves(pos, 80, rng, [&](Move move) {
            char text[8];
            moves += std::string(" ") + moveToText(move, text, pos);
            played.push_back(move);
            const DerivedFields d = computeDerivedFields(pos);
            ASSERT_EQ(pos.state->key, d.key) << moves;
            ASSERT_EQ(pos.state->pawnKey, d.pawnKey) << moves;
            ASSERT_EQ(pos.state->psqScore, d.psqScore) << moves;
        });
        Position& replay = testPosition();
        const PositionSetUp result = positionCommand(replay, moves.c_str());
        EXPECT_STREQ(result.illegalMove, "") << moves;
        EXPECT_EQ(replay.state->key, pos.state->key) << moves;
        EXPECT_EQ(std::memcmp(replay.board, pos.board, 64), 0) << moves;
        while (!played.empty()) {
            unmakeMoveAny(pos, played.back());
            played.pop_back();
        }
        EXPECT_EQ(std::memcmp(pos.board, start, 64), 0) << moves;
        EXPECT_EQ(pos.state->key, startKey) << moves;
    }
}

// Through the binary: castling as the option writes it in perft, "bestmove" and "pv", and a
// move in the other notation ends the move list in either mode.
TEST(Chess960Process, CastlingTextFollowsTheOption) {
    StartedEngine engine;
    const std::string position = "fen r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1";
    for (const bool chess960 : {false, true}) {
        engine.send(std::string("setoption name UCI_Chess960 value ") + (chess960 ? "true" : "false"));
        const std::string shortCastling = chess960 ? "e1h1" : "e1g1", other = chess960 ? "e1g1" : "e1h1";
        engine.send("position " + position);
        engine.send("perft 1");
        const std::vector<std::string> counts = engine.linesUntil("Nodes searched");
        EXPECT_EQ(countPrefix(counts, shortCastling + ": 1"), 1) << chess960;
        EXPECT_EQ(countPrefix(counts, other + ":"), 0) << chess960;

        const std::vector<std::string> lines =
            engine.search(position, "go depth 3 searchmoves " + shortCastling);
        EXPECT_EQ(moveOf(lines.back()), shortCastling) << chess960;
        EXPECT_EQ(wordAfter(pvLines(lines).back(), "pv"), shortCastling) << chess960;

        engine.send("position " + position + " moves " + other + " e7e6");
        engine.send("isready");
        const std::vector<std::string> answer = engine.linesUntil("readyok");
        EXPECT_EQ(countPrefix(answer, "info string illegal move in position command: " + other), 1)
            << chess960;
        engine.send("perft 1");
        EXPECT_EQ(engine.waitFor("Nodes searched", 5000 * SlowBuildFactor), "Nodes searched: 25") << chess960;
    }
}
