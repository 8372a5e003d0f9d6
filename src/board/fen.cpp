#include "board/fen.h"

#include <cstdio>
#include <cstring>

#include "board/bitboard.h"
#include "core/words.h"

const char StartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

uint8_t pieceFromLetter(char c) {
    switch (c) {
        case 'P':
            return WhitePawn;
        case 'N':
            return WhiteKnight;
        case 'K':
            return WhiteKing;
        case 'B':
            return WhiteLightBishop;
        case 'R':
            return WhiteRook;
        case 'Q':
            return WhiteQueen;
        case 'p':
            return BlackPawn;
        case 'n':
            return BlackKnight;
        case 'k':
            return BlackKing;
        case 'b':
            return BlackLightBishop;
        case 'r':
            return BlackRook;
        case 'q':
            return BlackQueen;
        default:
            return NoPiece;
    }
}

uint8_t castlingFromField(const char* begin, const char* end) {
    static const char* const Fields[16] = {"-", "K",  "Q",  "KQ",  "k",  "Kk",  "Qk",  "KQk",
                                           "q", "Kq", "Qq", "KQq", "kq", "Kkq", "Qkq", "KQkq"};
    for (int rights = 0; rights < 16; ++rights)
        if (wordIs(begin, end, Fields[rights])) return uint8_t(rights);
    return 0;
}

// The en-passant square of the FEN, kept only when it can be a real target: on the third
// rank seen from the side that just pushed, empty, with the pushed enemy pawn in front of it,
// the square it came from empty, and a pawn of the side to move ready to capture.
uint8_t checkedEpSquare(const Position& pos, const char* begin, const char* end) {
    if (end - begin < 2 || begin[0] < 'a' || begin[0] > 'h' || begin[1] < '1' || begin[1] > '8') return 0;
    const Square ep = makeSquare(begin[0] - 'a', begin[1] - '1');
    const bool white = pos.sideToMove == White;
    if (rankOf(ep) != (white ? 5 : 2) || pos.board[ep] != NoPiece) return 0;
    const Square pushed = white ? ep - 8 : ep + 8;
    const Square origin = white ? ep + 8 : ep - 8;
    if (pos.board[pushed] != (white ? BlackPawn : WhitePawn) || pos.board[origin] != NoPiece) return 0;
    const uint8_t ourPawn = white ? WhitePawn : BlackPawn;
    const bool left = fileOf(ep) != 0 && pos.board[white ? ep - 9 : ep + 7] == ourPawn;
    const bool right = fileOf(ep) != 7 && pos.board[white ? ep - 7 : ep + 9] == ourPawn;
    return (left || right) ? uint8_t(ep) : 0;
}

// The castling rights among `rights` whose king or rook is not on its starting square.
uint8_t unbackedRights(const Position& pos, uint8_t rights) {
    uint8_t unbacked = 0;
    if (pos.board[E1] != WhiteKing) unbacked |= 3;
    if (pos.board[H1] != WhiteRook) unbacked |= 1;
    if (pos.board[A1] != WhiteRook) unbacked |= 2;
    if (pos.board[E8] != BlackKing) unbacked |= 12;
    if (pos.board[H8] != BlackRook) unbacked |= 4;
    if (pos.board[A8] != BlackRook) unbacked |= 8;
    return uint8_t(rights & unbacked);
}

// Keeps a letter of the castling field that gave no right.
void ignoreLetter(char* ignored, int& count, char letter) {
    if (ignored && count < IgnoredCastlingSize - 1) ignored[count++] = letter;
}

// A standard castling field: one of the strings of KQkq, matched whole. The rights whose king
// or rook is not on its square are dropped, and their letters kept in ignored.
uint8_t standardRights(Position& pos, const char* begin, const char* end, char* ignored, int& count) {
    setStandardCastling(pos.castle);
    const uint8_t rights = castlingFromField(begin, end);
    const uint8_t unbacked = unbackedRights(pos, rights);
    for (int i = 0; i < 4; ++i)
        if (unbacked & (1 << i)) ignoreLetter(ignored, count, "KQkq"[i]);
    return uint8_t(rights & ~unbacked);
}

// The square of the side's king on its back rank, or -1 when it has none there.
Square backRankKing(const Position& pos, Side side) {
    const int rank = side == White ? 0 : 7;
    for (int file = 0; file < 8; ++file)
        if (pos.board[makeSquare(file, rank)] == pieceFor(side, King)) return makeSquare(file, rank);
    return -1;
}

// A Chess960 castling field: K and Q (k and q) give the outermost rook of the back rank on
// the king's h-side and a-side, a file letter A to H (a to h) the rook on that file. A side
// castles at most once on either side of its king; a letter that names no rook there, a
// second rook on one side, or a king that is not on its back rank gives no right, and the
// letter is kept in ignored.
uint8_t chess960Rights(Position& pos, const char* begin, const char* end, char* ignored, int& count) {
    const Square kings[2] = {backRankKing(pos, Black), backRankKing(pos, White)};
    Square rooks[4] = {H1, A1, H8, A8};
    uint8_t rights = 0;
    const bool none = wordIs(begin, end, "-");
    for (const char* c = begin; c < end && !none; ++c) {
        const Side side = *c >= 'A' && *c <= 'Z' ? White : Black;
        const char letter = side == White ? char(*c - 'A' + 'a') : *c;
        const Square king = kings[side];
        const int rank = side == White ? 0 : 7;
        const uint8_t ourRook = pieceFor(side, Rook);
        Square rook = -1;
        if (king >= 0 && letter == 'k') {
            for (int file = 7; file > fileOf(king) && rook < 0; --file)
                if (pos.board[makeSquare(file, rank)] == ourRook) rook = makeSquare(file, rank);
        } else if (king >= 0 && letter == 'q') {
            for (int file = 0; file < fileOf(king) && rook < 0; ++file)
                if (pos.board[makeSquare(file, rank)] == ourRook) rook = makeSquare(file, rank);
        } else if (king >= 0 && letter >= 'a' && letter <= 'h' &&
                   pos.board[makeSquare(letter - 'a', rank)] == ourRook) {
            rook = makeSquare(letter - 'a', rank);
        }
        const int index = rook < 0 ? -1 : castlingIndex(side, fileOf(rook) > fileOf(king));
        if (index < 0 || (rights & castlingRight(index))) {
            ignoreLetter(ignored, count, *c);
            continue;
        }
        rights |= castlingRight(index);
        rooks[index] = rook;
    }
    setCastlingRules(pos.castle, kings[White] >= 0 ? kings[White] : E1, kings[Black] >= 0 ? kings[Black] : E8,
                     rooks);
    return rights;
}

// Reads the next field: returns false (and leaves p) when there is none or when the next
// word is the "moves" keyword of the position command.
bool nextField(const char*& p, const char*& begin, const char*& end) {
    begin = skipSpaces(p);
    end = wordEnd(begin);
    if (begin == end || wordIs(begin, end, "moves")) return false;
    p = end;
    return true;
}

}  // namespace

const char* parseFen(Position& pos, const char* text, char* ignoredCastling, bool chess960) {
    const char* p = skipSpaces(text);
    const char* const placementEnd = wordEnd(p);
    std::memset(pos.board, 0, sizeof pos.board);
    // The placement must be eight ranks of eight squares each, of men and the digits 1 to 8.
    // Whatever else it holds is still read as far as it goes, so that every field below is
    // set, but the position then fails the validity checks.
    bool wellFormed = placementEnd > p;
    int rank = 7, file = 0;
    for (const char* c = p; c < placementEnd; ++c) {
        if (*c == '/') {
            if (file != 8 || rank == 0) wellFormed = false;  // a short rank, or a ninth
            if (rank == 0) break;
            --rank;
            file = 0;
        } else if (*c >= '1' && *c <= '8') {
            file += *c - '0';
            if (file > 8) {
                file = 8;
                wellFormed = false;
            }
        } else if (const uint8_t code = pieceFromLetter(*c)) {
            if (file < 8) {
                const Square s = makeSquare(file, rank);
                pos.board[s] = uint8_t(code + (isBishopKind(code) && isDarkSquare(s) ? 1 : 0));
            } else {
                wellFormed = false;  // men beyond file h are dropped
            }
            ++file;
        } else {
            wellFormed = false;
        }
    }
    if (rank != 0 || file != 8) wellFormed = false;  // fewer than eight ranks, or a short last one
    p = placementEnd;

    std::memset(static_cast<void*>(pos.stateBase), 0, SearchStackRecords * sizeof(StateRecord));
    pos.state = pos.stateBase;
    pos.ply = 0;
    pos.historyLength = 0;
    StateRecord& st = *pos.state;

    // Fields left out take their defaults: White to move (many GUIs send the board and
    // the side alone), no castling, no en passant, no plies towards the fifty-move rule.
    pos.sideToMove = White;
    pos.moveNumber = 1;
    setStandardCastling(pos.castle);
    int ignored = 0;
    const char *begin, *end;
    if (nextField(p, begin, end)) {
        if (wordIs(begin, end, "w"))
            pos.sideToMove = White;
        else if (wordIs(begin, end, "b"))
            pos.sideToMove = Black;
        else
            wellFormed = false;
        if (nextField(p, begin, end)) {
            // A right whose king or rook has left its square is dropped rather than the
            // whole position refused: FENs from board editors and old records often carry
            // such rights, and the board itself is playable without them.
            st.castling = chess960 ? chess960Rights(pos, begin, end, ignoredCastling, ignored)
                                   : standardRights(pos, begin, end, ignoredCastling, ignored);
            if (nextField(p, begin, end)) {
                st.epSquare = checkedEpSquare(pos, begin, end);
                const char* q = p;
                if (nextField(q, begin, end) && isDigit(*begin)) {
                    int rule50 = 0;
                    for (const char* c = begin; c < end && isDigit(*c); ++c)
                        rule50 = rule50 * 10 + (*c - '0') > 255 ? 255 : rule50 * 10 + (*c - '0');
                    st.rule50 = uint8_t(rule50);
                    p = q;
                    if (nextField(q, begin, end) && isDigit(*begin)) {
                        int number = 0;
                        for (const char* c = begin; c < end && isDigit(*c); ++c)
                            number = number * 10 + (*c - '0') > 9999 ? 9999 : number * 10 + (*c - '0');
                        pos.moveNumber = uint16_t(number < 1 ? 1 : number);
                        p = q;
                    }
                }
            }
        }
    }
    pos.fenMalformed = wellFormed ? 0 : 1;
    if (ignoredCastling) ignoredCastling[wellFormed ? ignored : 0] = 0;
    setUpFromBoard(pos);
    return p;
}

char pieceLetter(uint8_t code) {
    static const char Letters[] = " PNKBBRQ pnkbbrq";
    return code < 16 ? Letters[code] : '?';
}

void writeFen(const Position& pos, char* out) {
    char* p = out;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const uint8_t code = pos.board[makeSquare(file, rank)];
            if (code == NoPiece) {
                ++empty;
                continue;
            }
            if (empty) *p++ = char('0' + empty);
            empty = 0;
            *p++ = pieceLetter(code);
        }
        if (empty) *p++ = char('0' + empty);
        if (rank) *p++ = '/';
    }
    *p++ = ' ';
    *p++ = pos.sideToMove == White ? 'w' : 'b';
    *p++ = ' ';
    const uint8_t rights = pos.state->castling;
    CastlingRules standard;
    setStandardCastling(standard);
    const bool standardSquares = std::memcmp(pos.castle.king, standard.king, sizeof standard.king) == 0 &&
                                 std::memcmp(pos.castle.rook, standard.rook, sizeof standard.rook) == 0;
    for (int index = 0; index < 4; ++index) {
        if (!(rights & castlingRight(index))) continue;
        const char letter = standardSquares ? "KQkq"[index] : char('a' + fileOf(pos.castle.rook[index]));
        *p++ = castlingSide(index) == White && !standardSquares ? char(letter - 'a' + 'A') : letter;
    }
    if (!(rights & 15)) *p++ = '-';
    *p++ = ' ';
    if (pos.state->epSquare) {
        *p++ = char('a' + fileOf(pos.state->epSquare));
        *p++ = char('1' + rankOf(pos.state->epSquare));
    } else {
        *p++ = '-';
    }
    snprintf(p, size_t(FenSize - (p - out)), " %d %d", pos.state->rule50, pos.moveNumber);
}
