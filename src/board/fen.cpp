#include "board/fen.h"

#include <cstring>

#include "board/bitboard.h"
#include "board/makemove.h"
#include "movegen/attacks.h"
#include "movegen/gaintable.h"
#include "movegen/generate.h"
#include "core/flags.h"

const char StartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
const char* skipSpaces(const char* p) {
    while (isSpace(*p)) ++p;
    return p;
}
const char* wordEnd(const char* p) {
    while (*p && !isSpace(*p)) ++p;
    return p;
}
bool wordIs(const char* begin, const char* end, const char* word) {
    const size_t n = std::strlen(word);
    return size_t(end - begin) == n && std::memcmp(begin, word, n) == 0;
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

// A long move list would run the state stack into the room the search needs: move the
// records since the last irreversible moves down to the start of the stack.
void foldStateStack(Position& pos) {
    if (pos.state - pos.stateBase < MoveListStateLimit) return;
    std::memmove(static_cast<void*>(pos.stateBase), pos.state - (FoldKeep - 1),
                 FoldKeep * sizeof(StateRecord));
    pos.state = pos.stateBase + (FoldKeep - 1);
}

bool squareFromText(const char* t, Square& s) {
    if (t[0] < 'a' || t[0] > 'h' || t[1] < '1' || t[1] > '8') return false;
    s = makeSquare(t[0] - 'a', t[1] - '1');
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

uint8_t positionCommand(Position& pos, const char* text) {
    const char* const movesKeyword = std::strstr(text, "moves");
    const char* p = skipSpaces(text);
    const char* const firstEnd = wordEnd(p);
    uint8_t ignoredCastling = 0;
    if (wordIs(p, firstEnd, "startpos")) {
        parseFen(pos, StartFen);
        p = firstEnd;
    } else if (wordIs(p, firstEnd, "fen")) {
        p = parseFen(pos, firstEnd, &ignoredCastling);
    }
    pos.historyLength = 0;

    if (movesKeyword) {
        p = skipSpaces(p);
        const char* list = wordIs(p, wordEnd(p), "moves") ? p + 5 : movesKeyword + 5;
        // Moves are only made on a position that passed the checks: a broken board could
        // hold men the generators and make are not built for.
        if (positionIsValid(pos)) applyMoveList(pos, skipSpaces(list));
    }
    pos.ply = 0;
    if (firstSearchOfGame) clearPositionalGains();
    computeAttacks(pos);
    positionValid = positionIsValid(pos) ? 1 : 0;
    return ignoredCastling;
}

Move legalMoveFromText(Position& pos, const char* word, size_t length) {
    Square from, to;
    // Characters after the fifth are ignored, as they always were.
    if (length < 4 || !squareFromText(word, from) || !squareFromText(word + 2, to)) return NoMove;
    Move move = moveFromText(pos, encodeMove(from, to));
    // The promotion piece, in the order of the promotion move types; another letter is ignored.
    constexpr char PromotionLetters[] = "nbrq";
    const char* const promotion = length == 5 && word[4] ? strchr(PromotionLetters, word[4]) : nullptr;
    if (promotion) move |= Move((MovePromoKnight + (promotion - PromotionLetters)) << 12);
    MoveEntry list[MaxMoves];
    computeAttacks(pos);
    MoveEntry* last;
    if (inCheck(pos)) {
        last = generateEvasionsAny(pos, list, ~Bitboard(0));
    } else {
        last = generateCapturesAny(pos, list, ~Bitboard(0));
        last = generateQuietsAny(pos, last);
    }
    for (MoveEntry* e = list; e < last; ++e) {
        if ((*e & MoveMask) != move) continue;
        const Side mover = pos.sideToMove;
        makeMoveAny(pos, move);
        computeAttacks(pos);
        const Bitboard theirAttacks = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
        const bool legal = !(theirAttacks & SquareBB[kingSquare(pos, mover)]);
        unmakeMoveAny(pos, move);
        return legal ? move : NoMove;  // a move that leaves the own king in check is none
    }
    return NoMove;
}

void applyMoveList(Position& pos, const char* text) {
    for (const char* p = skipSpaces(text); *p; p = skipSpaces(p)) {
        const char* const end = wordEnd(p);
        const char* const word = p;
        p = end;

        foldStateStack(pos);
        const Move move = legalMoveFromText(pos, word, size_t(end - word));
        if (!move) continue;
        makeMoveAny(pos, move);
        computeAttacks(pos);
        pos.historyLength = 0;
        // A promotion beyond the piece limits ends the list: later moves are not made on
        // a position that fails the checks.
        if (!positionIsValid(pos)) return;
    }
}

Move moveFromText(const Position& pos, Move partial) {
    if (!partial) return NoMove;
    const Square from = moveFrom(partial), to = moveTo(partial);
    const uint8_t kind = kindOf(pos.board[from]);
    if (kind == King && (to - from == 2 || from - to == 2)) return Move(partial | (MoveCastling << 12));
    if (kind == Pawn && pos.state->epSquare && to == pos.state->epSquare)
        return Move(partial | (MoveEnPassant << 12));
    return partial;
}

char* moveToText(Move move, char* buffer) {
    if (!move) {
        std::memcpy(buffer, "NULL", 5);
        return buffer;
    }
    const Square from = moveFrom(move), to = moveTo(move);
    char* p = buffer;
    *p++ = char('a' + fileOf(from));
    *p++ = char('1' + rankOf(from));
    *p++ = char('a' + fileOf(to));
    *p++ = char('1' + rankOf(to));
    if (isPromotion(move)) *p++ = "nbrq"[moveType(move) - MovePromoKnight];
    *p = '\0';
    return buffer;
}
