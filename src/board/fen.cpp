#include "board/fen.h"

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

const char* parseFen(Position& pos, const char* text, uint8_t* ignoredCastling) {
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
    uint8_t ignored = 0;
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
            const uint8_t rights = castlingFromField(begin, end);
            ignored = unbackedRights(pos, rights);
            st.castling = uint8_t(rights & ~ignored);
            if (nextField(p, begin, end)) {
                st.epSquare = checkedEpSquare(pos, begin, end);
                const char* q = p;
                if (nextField(q, begin, end) && isDigit(*begin)) {
                    int rule50 = 0;
                    for (const char* c = begin; c < end && isDigit(*c); ++c)
                        rule50 = rule50 * 10 + (*c - '0') > 255 ? 255 : rule50 * 10 + (*c - '0');
                    st.rule50 = uint8_t(rule50);
                    p = q;
                    if (nextField(q, begin, end) && isDigit(*begin)) p = q;  // the move number is not used
                }
            }
        }
    }
    pos.fenMalformed = wellFormed ? 0 : 1;
    if (ignoredCastling) *ignoredCastling = wellFormed ? ignored : 0;
    setUpFromBoard(pos);
    return p;
}
