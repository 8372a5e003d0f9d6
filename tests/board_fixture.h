// Shared set-up for the tests that work on positions in this process: the process-wide
// tables are built once per test binary, and the test files share one position with its
// state stack. Also the legal moves of a position, random games, and the FEN of a position.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/position.h"
#include "board/pst.h"
#include "core/params.h"
#include "movegen/generate.h"
#include "movegen/history.h"
#include "shell/movetext.h"
#include "shell/positioncommand.h"

inline void buildTables() {
    static const bool built = [] {
        initPopCount();
        setDefaults();
        initGeometry();
        initMagics();
        initPST();
        initCaptureOrder();
        resetHistory();
        return true;
    }();
    (void)built;
}

// A position ready for use; the state stack lives as long as the test binary.
inline Position& testPosition() {
    static Position pos;
    buildTables();
    if (!pos.stateBase) initPosition(pos);
    return pos;
}

// A second position for tests that compare two.
inline Position& secondPosition() {
    static Position pos;
    buildTables();
    if (!pos.stateBase) initPosition(pos);
    return pos;
}

// The test position as the arguments of a "position" command set it up ("startpos moves
// e2e4", "fen ...").
inline Position& positionFrom(const std::string& arguments) {
    Position& pos = testPosition();
    positionCommand(pos, arguments.c_str());
    return pos;
}

inline Position& setUp(const std::string& fen) { return positionFrom("fen " + fen); }

// The move of a coordinate text in the position ("e2e4", "e7e8q"), typed as the position
// command types it.
inline Move textMove(const Position& pos, const char* text) {
    Move m = moveFromText(
        pos, encodeMove(makeSquare(text[0] - 'a', text[1] - '1'), makeSquare(text[2] - 'a', text[3] - '1')));
    switch (text[4]) {
        case 'n':
            return Move(m | MovePromoKnight << 12);
        case 'b':
            return Move(m | MovePromoBishop << 12);
        case 'r':
            return Move(m | MovePromoRook << 12);
        case 'q':
            return Move(m | MovePromoQueen << 12);
        default:
            return m;
    }
}

// The moves the generators give the side to move: the evasions in check, otherwise the
// captures and then the quiet moves. Returns the end of the list (needs the attack map).
inline MoveEntry* generateAll(const Position& pos, MoveEntry* list) {
    return inCheck(pos) ? generateEvasionsAny(pos, list, ~Bitboard(0))
                        : generateQuietsAny(pos, generateCapturesAny(pos, list, ~Bitboard(0)));
}

// The legal moves of the side to move, in the order generated: every generated move is
// made, kept when the mover's king is not attacked after it, and taken back. The attack map
// of the position (pinners included) is its own again afterwards.
inline std::vector<Move> legalMoves(Position& pos) {
    computeAttacks(pos);
    MoveEntry list[MaxMoves];
    MoveEntry* end = generateAll(pos, list);
    std::vector<Move> legal;
    const Side mover = pos.sideToMove;
    for (MoveEntry* e = list; e < end; ++e) {
        const Move m = entryMove(*e);
        makeMoveAny(pos, m);
        computeAttacks(pos);
        const Bitboard theirs = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        if (!(theirs & SquareBB[kingSquare(pos, mover)])) legal.push_back(m);
        unmakeMoveAny(pos, m);
    }
    computeAttacks(pos);
    return legal;
}

// The legal moves in coordinate text ("e2e4", "e7e8q"; castling as the UCI_Chess960 option
// writes it).
inline std::vector<std::string> legalMoveTexts(Position& pos) {
    std::vector<std::string> texts;
    for (const Move m : legalMoves(pos)) {
        char text[8];
        texts.emplace_back(moveToText(m, text, pos));
    }
    return texts;
}

// The UCI_Chess960 option set while it lives, and as it was again afterwards. The tables
// are built first: building them sets every option to its default.
struct Chess960Mode {
    uint8_t saved;
    explicit Chess960Mode(bool on = true) {
        buildTables();
        saved = optionChess960;
        optionChess960 = on;
    }
    ~Chess960Mode() { optionChess960 = saved; }
};

// Is the move text legal after the arguments of a "position" command?
inline bool isLegalAfter(const std::string& position, const std::string& move) {
    const std::vector<std::string> legal = legalMoveTexts(positionFrom(position));
    return std::find(legal.begin(), legal.end(), move) != legal.end();
}

// Plays random legal moves on the position: `plies` of them, fewer where the game ends.
// afterMove(move) is called once each move is made. Returns the number of moves played.
template <class Random, class AfterMove>
int playRandomMoves(Position& pos, int plies, Random& random, AfterMove&& afterMove) {
    for (int played = 0; played < plies; ++played) {
        const std::vector<Move> moves = legalMoves(pos);
        if (moves.empty()) return played;
        const Move move = moves[random() % moves.size()];
        makeMoveAny(pos, move);
        afterMove(move);
    }
    return plies;
}

// The FEN of a position, or of its colour mirror: board turned top to bottom, colours of
// the men, side to move, castling rights and en-passant square exchanged.
inline std::string fenOf(const Position& pos, bool mirror = false) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const uint8_t code = pos.board[makeSquare(file, rank) ^ (mirror ? 56 : 0)];
            if (code && empty) fen += char('0' + empty);
            empty = code ? 0 : empty + 1;
            if (code) fen += ".PNKBBRQ.pnkbbrq"[mirror ? code ^ 8 : code];
        }
        if (empty) fen += char('0' + empty);
        if (rank) fen += '/';
    }
    fen += (pos.sideToMove == White) != mirror ? " w " : " b ";
    const uint8_t rights =
        mirror ? ((pos.state->castling & 3) << 2) | (pos.state->castling >> 2) : pos.state->castling;
    for (int i = 0; i < 4; ++i)
        if (rights & (1 << i)) fen += "KQkq"[i];
    fen += rights ? " " : "- ";
    const Square ep = pos.state->epSquare ^ (mirror ? 56 : 0);
    fen += pos.state->epSquare ? std::string{char('a' + fileOf(ep)), char('1' + rankOf(ep))} : "-";
    return fen + " 0 1";
}
