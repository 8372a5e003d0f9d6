#include "fuzz/checks.h"

#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <vector>

#include "board/attackmap.h"
#include "board/bitboard.h"
#include "board/castling.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/position.h"
#include "core/flags.h"
#include "core/params.h"
#include "hash/tablememory.h"
#include "movegen/generate.h"
#include "movegen/legality.h"
#include "movegen/perft.h"
#include "search/limits.h"
#include "shell/command.h"
#include "shell/engine.h"
#include "shell/movetext.h"
#include "shell/options.h"
#include "shell/output.h"
#include "shell/positioncommand.h"
#include "smp/threads.h"

namespace {

std::string formatted(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string formatted(const char* pattern, ...) {
    char buffer[512];
    va_list args;
    va_start(args, pattern);
    vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

std::string squareName(int s) {
    if (s < 0 || s > 63) return formatted("square %d", s);
    return {char('a' + fileOf(s)), char('1' + rankOf(s))};
}

std::string moveName(Move move) {
    char text[8];
    return moveToText(move, text);
}

// The move as the engine writes it to the GUI, in the notation of the UCI_Chess960 option.
std::string moveText(const Position& pos, Move move) {
    char text[8];
    return moveToText(move, text, pos);
}

// Sets the UCI_Chess960 option while it lives.
struct Chess960Option {
    uint8_t saved = optionChess960;
    explicit Chess960Option(bool on) { optionChess960 = on; }
    ~Chess960Option() { optionChess960 = saved; }
};

// The position in FEN, for the messages.
std::string fenOf(const Position& pos) {
    char fen[FenSize];
    writeFen(pos, fen);
    return fen;
}

// ---------------------------------------------------------------------------------------
// The engine, started once in this process

std::mutex outputMutex;
std::string output;

void catchOutput(const char* text, size_t length) {
    std::lock_guard<std::mutex> guard(outputMutex);
    output.append(text, length);
}

std::string takeOutput() {
    std::lock_guard<std::mutex> guard(outputMutex);
    std::string text;
    text.swap(output);
    return text;
}

// While it lives, what the engine prints is caught instead of written to standard output.
struct CaughtOutput {
    OutputSink previous;
    CaughtOutput() : previous(setOutputSink(catchOutput)) { takeOutput(); }
    ~CaughtOutput() { setOutputSink(previous); }
};

// One search thread whatever "Threads" says, and a memory size that keeps the hash tables
// to a few megabytes whatever "Hash" says (256 at start-up): tables of gigabytes would make
// each "ucinewgame" slow and the fuzzer run out of memory.
struct SmallEngine {
    int processors = processorCountOverride;
    uint64_t memory = hashMemoryOverride;
    SmallEngine() {
        processorCountOverride = 1;
        hashMemoryOverride = uint64_t(16) << 20;
    }
    ~SmallEngine() {
        processorCountOverride = processors;
        hashMemoryOverride = memory;
    }
};

// The engine's start-up, once per process, and the position the position and move checks
// work on.
Position& checkedPosition() {
    static Position pos;
    static const bool started = [] {
        CaughtOutput caught;
        SmallEngine small;
        startUp();
        initPosition(pos);
        return true;
    }();
    (void)started;
    return pos;
}

// ---------------------------------------------------------------------------------------
// Legal moves

// Makes the move and takes it back: whether the mover's king was safe after it.
bool kingSafeAfter(Position& pos, Move move) {
    const Side mover = pos.sideToMove;
    makeMoveAny(pos, move);
    computeAttacks(pos);
    const Bitboard theirAttacks = mover == White ? pos.state->blackAttacks : pos.state->whiteAttacks;
    const bool safe = !(theirAttacks & pos.pieces[pieceFor(mover, King)]);
    unmakeMoveAny(pos, move);
    return safe;
}

// The legal moves as the engine lists them: the evasions in check, otherwise the captures
// and the quiet moves, each kept when it leaves the king safe. Sets duplicate to a move
// listed twice, if any.
std::vector<Move> generatedLegalMoves(Position& pos, Move* duplicate = nullptr) {
    computeAttacks(pos);
    MoveEntry list[MaxMoves];
    MoveEntry* const end = inCheck(pos)
                               ? generateEvasionsAny(pos, list, ~Bitboard(0))
                               : generateQuietsAny(pos, generateCapturesAny(pos, list, ~Bitboard(0)));
    std::vector<Move> moves;
    for (MoveEntry* e = list; e < end; ++e) {
        const Move move = entryMove(*e);
        if (duplicate && std::find(moves.begin(), moves.end(), move) != moves.end()) *duplicate = move;
        if (kingSafeAfter(pos, move)) moves.push_back(move);
    }
    // Making the moves rewrote the pinner squares; the generators of the position read them.
    computeAttacks(pos);
    return moves;
}

// The squares a man of the kind could reach from the square on an empty board, castling
// (the king's destinations by the position's castling rules) and double steps included:
// every move of the man lands on one of them.
Bitboard reachOnEmptyBoard(const Position& pos, uint8_t kind, Side side, Square from) {
    switch (kind) {
        case Pawn: {
            const int up = side == White ? 8 : -8;
            Bitboard reach = PawnAttacks[side][from] | SquareBB[from + up];
            if (rankOf(from) == (side == White ? 1 : 6)) reach |= SquareBB[from + 2 * up];
            return reach;
        }
        case Knight:
            return KnightAttacks[from];
        case King:
            return KingAttacks[from] |
                   (from == pos.castle.king[side] ? SquareBB[castlingKingTo(castlingIndex(side, true))] |
                                                        SquareBB[castlingKingTo(castlingIndex(side, false))]
                                                  : 0);
        case Rook:
            return RookRays[from];
        case Queen:
            return QueenRays[from];
        default:
            return BishopRays[from];
    }
}

// The legal moves found without the generators: every move word of a man of the side to
// move, to every square it could reach on an empty board, of every type the man can make,
// that the pseudo-legality test of hash moves accepts and that leaves the king safe. Sorted.
std::vector<Move> bruteForceLegalMoves(Position& pos) {
    computeAttacks(pos);
    const Side us = pos.sideToMove;
    const int lastRank = us == White ? 7 : 0;
    std::vector<Move> moves;
    for (Bitboard men = pos.pieces[menOf(us)]; men; men &= men - 1) {
        const Square from = lowestSquare(men);
        const uint8_t kind = kindOf(pos.board[from]);
        for (Bitboard targets = reachOnEmptyBoard(pos, kind, us, from); targets; targets &= targets - 1) {
            const Square to = lowestSquare(targets);
            int types[4] = {MoveNormal};
            int typeCount = 1;
            if (kind == Pawn && rankOf(to) == lastRank) {
                for (int t = 0; t < 4; ++t) types[t] = MovePromoKnight + t;
                typeCount = 4;
            } else if (kind == Pawn) {
                types[typeCount++] = MoveEnPassant;
            } else if (kind == King) {
                types[typeCount++] = MoveCastling;
            }
            for (int t = 0; t < typeCount; ++t) {
                const Move move = encodeMove(from, to, types[t]);
                const bool pseudoLegal =
                    us == White ? isPseudoLegal<White>(pos, move) : isPseudoLegal<Black>(pos, move);
                if (pseudoLegal && kingSafeAfter(pos, move)) moves.push_back(move);
            }
        }
    }
    computeAttacks(pos);
    std::sort(moves.begin(), moves.end());
    return moves;
}

// The generated list against the brute-force one, and every legal move found again by the
// move-text lookup from its own text.
std::string moveListProblem(Position& pos, const std::vector<Move>& generated, Move duplicate) {
    if (duplicate) return "the generators list " + moveName(duplicate) + " twice";
    std::vector<Move> sorted = generated;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<Move> brute = bruteForceLegalMoves(pos);
    for (Move m : brute)
        if (!std::binary_search(sorted.begin(), sorted.end(), m))
            return "the legal move " + moveName(m) + formatted(" (type %d) is not generated", moveType(m));
    for (Move m : sorted)
        if (!std::binary_search(brute.begin(), brute.end(), m))
            return "the generated move " + moveName(m) +
                   formatted(" (type %d) is no move of its man or refused by the pseudo-legality test",
                             moveType(m));
    for (Move m : generated) {
        const std::string text = moveText(pos, m);
        const Move found = legalMoveFromText(pos, text.c_str(), text.size());
        if (found != m) return "the move text " + text + " is read as " + moveText(pos, found);
    }
    return "";
}

// ---------------------------------------------------------------------------------------
// Restoring a position

// Everything of a position record that making and taking back a move must restore.
struct Snapshot {
    uint8_t board[64];
    Bitboard pieces[17];
    Side sideToMove;
    uint8_t whiteKingSquare, blackKingSquare, ply;
    const StateRecord* state;
    StateRecord record;
    uint64_t historyLength;
    std::vector<uint64_t> keys;
    uint64_t nodes;

    explicit Snapshot(const Position& pos)
        : sideToMove(pos.sideToMove),
          whiteKingSquare(pos.whiteKingSquare),
          blackKingSquare(pos.blackKingSquare),
          ply(pos.ply),
          state(pos.state),
          record(*pos.state),
          historyLength(pos.historyLength),
          nodes(pos.nodes) {
        std::memcpy(board, pos.board, sizeof board);
        std::memcpy(pieces, pos.pieces, sizeof pieces);
        if (historyLength < KeyHistorySize) keys.assign(pos.keyHistory, pos.keyHistory + historyLength + 1);
    }

    // What differs in pos, or "".
    std::string differences(const Position& pos) const {
        for (Square s = 0; s < 64; ++s)
            if (pos.board[s] != board[s])
                return formatted("%s holds %d instead of %d", squareName(s).c_str(), pos.board[s], board[s]);
        for (int i = 0; i < 17; ++i)
            if (pos.pieces[i] != pieces[i]) return formatted("bitboard %d differs", i);
        if (pos.sideToMove != sideToMove) return "the side to move differs";
        if (pos.whiteKingSquare != whiteKingSquare || pos.blackKingSquare != blackKingSquare)
            return "a king square differs";
        if (pos.ply != ply) return "the ply differs";
        if (pos.state != state) return "the current state record is another";
        if (std::memcmp(pos.state, &record, sizeof record) != 0) return "the state record differs";
        if (pos.historyLength != historyLength) return "the key history length differs";
        if (!keys.empty() && !std::equal(keys.begin(), keys.end(), pos.keyHistory))
            return "the key history differs";
        if (pos.nodes != nodes) return "the node count differs";
        return "";
    }
};

// Every legal move made and taken back, with the position after it checked: the position
// passes positionProblem and is restored bit for bit. Returns the leaf count of the legal
// move tree two plies deep.
std::string makeEveryMove(Position& pos, const std::vector<Move>& legal, uint64_t& leaves) {
    const Snapshot before(pos);
    leaves = 0;
    for (Move m : legal) {
        makeMoveAny(pos, m);
        computeAttacks(pos);
        std::string problem = positionProblem(pos);
        if (!problem.empty()) problem = "after " + moveName(m) + " (" + fenOf(pos) + "): " + problem;
        leaves += generatedLegalMoves(pos).size();
        unmakeMoveAny(pos, m);
        if (!problem.empty()) return problem;
        const std::string changed = before.differences(pos);
        if (!changed.empty()) return "making and taking back " + moveName(m) + ": " + changed;
    }
    computeAttacks(pos);
    return "";
}

// Up to the first NUL byte: the engine reads C strings.
std::string textOf(const uint8_t* data, size_t size) {
    const void* nul = std::memchr(data, 0, size);
    return std::string(reinterpret_cast<const char*>(data),
                       nul ? static_cast<const uint8_t*>(nul) - data : size);
}

std::vector<std::string> wordsOf(const std::string& text, const char* separators) {
    std::vector<std::string> words;
    size_t begin = text.find_first_not_of(separators);
    while (begin != std::string::npos) {
        const size_t end = text.find_first_of(separators, begin);
        words.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        begin = end == std::string::npos ? end : text.find_first_not_of(separators, end);
    }
    return words;
}

}  // namespace

// -------------------------------------------------------------------------------------------
// The position record

std::string positionProblem(const Position& pos) {
    Bitboard expected[17] = {};
    for (Square s = 0; s < 64; ++s) {
        const uint8_t code = pos.board[s];
        if (code == NoPiece) continue;
        if (code > BlackQueen || kindOf(code) == 0)
            return formatted("%s holds the code %d, which is no piece", squareName(s).c_str(), code);
        if ((kindOf(code) == LightBishop && isDarkSquare(s)) ||
            (kindOf(code) == DarkBishop && !isDarkSquare(s)))
            return "the bishop on " + squareName(s) + " has the code of the other square colour";
        if (kindOf(code) == Pawn && (rankOf(s) == 0 || rankOf(s) == 7))
            return "a pawn stands on " + squareName(s);
        expected[code] |= SquareBB[s];
        expected[isBlackPiece(code) ? BlackMen : WhiteMen] |= SquareBB[s];
        expected[AllMen] |= SquareBB[s];
    }
    for (int i = 0; i < 17; ++i)
        if (pos.pieces[i] != expected[i])
            return formatted("bitboard %d is %016" PRIx64 ", the board gives %016" PRIx64, i, pos.pieces[i],
                             expected[i]);
    if (pos.sideToMove != White && pos.sideToMove != Black)
        return formatted("side to move %d", pos.sideToMove);
    if (popCount(pos.pieces[WhiteKing]) != 1 || popCount(pos.pieces[BlackKing]) != 1)
        return "not one king a side";
    if (pos.whiteKingSquare != lowestSquare(pos.pieces[WhiteKing]) ||
        pos.blackKingSquare != lowestSquare(pos.pieces[BlackKing]))
        return "a king square field does not hold its king";

    const StateRecord& st = *pos.state;
    const DerivedFields d = computeDerivedFields(pos);
    if (st.key != d.key)
        return formatted("the key is %016" PRIx64 ", from scratch %016" PRIx64, st.key, d.key);
    if (st.pawnKey != d.pawnKey)
        return formatted("the pawn key is %016" PRIx64 ", from scratch %016" PRIx64, st.pawnKey, d.pawnKey);
    if (st.psqScore != d.psqScore)
        return formatted("the piece-square sum is %d/%d, from scratch %d/%d", mgOf(st.psqScore),
                         egOf(st.psqScore), mgOf(d.psqScore), egOf(d.psqScore));
    // Making a move marks the material irregular when a promotion adds a second man of a
    // kind, and the mark stays: it may be set where a count from scratch has none, but never
    // be missing where the count from scratch needs it.
    const bool irregular = st.materialInfo & IrregularMaterial,
               irregularNow = d.materialInfo & IrregularMaterial;
    if ((st.materialInfo & ~IrregularMaterial) != (d.materialInfo & ~IrregularMaterial) ||
        (irregularNow && !irregular))
        return formatted("the material signature is %08x, from scratch %08x", st.materialInfo,
                         d.materialInfo);

    const Side us = pos.sideToMove, them = opposite(us);
    if (attackersOf(pos, kingSquare(pos, them), us)) return "the side not to move is in check";

    if (st.castling & ~15) return formatted("castling rights %d", st.castling);
    // Each right has its king and its rook on their squares, on the side's first rank, the
    // short right's rook on the king's h-file side and the long right's on its a-file side.
    for (int index = 0; index < 4; ++index) {
        if (!(st.castling & castlingRight(index))) continue;
        const Side side = castlingSide(index);
        const Square king = pos.castle.king[side], rook = pos.castle.rook[index];
        const int firstRank = side == White ? 0 : 7;
        if (pos.board[king] != pieceFor(side, King) || pos.board[rook] != pieceFor(side, Rook))
            return formatted("castling right %d without its king and rook at home", castlingRight(index));
        if (rankOf(king) != firstRank || rankOf(rook) != firstRank ||
            (fileOf(rook) > fileOf(king)) != isShortCastling(index))
            return formatted("castling right %d with its king on %s and rook on %s", castlingRight(index),
                             squareName(king).c_str(), squareName(rook).c_str());
    }

    if (st.epSquare) {
        // The target lies behind the pawn that made the double step, on the third rank seen
        // from its side; the target and the square the pawn came from are empty, and a pawn
        // of the side to move can take (without one the square is never set).
        const Square ep = st.epSquare;
        const int up = us == White ? 8 : -8;
        const bool rank = rankOf(ep) == (us == White ? 5 : 2);
        if (!rank || pos.board[ep - up] != pieceFor(them, Pawn) || pos.board[ep] != NoPiece ||
            pos.board[ep + up] != NoPiece || !(PawnAttacks[them][ep] & pos.pieces[pieceFor(us, Pawn)]))
            return "the en-passant square " + squareName(ep) + " has no pawn that just made a double step";
    }

    // The attack map of the current record, from the attacks of each man.
    for (Side side : {White, Black}) {
        Bitboard attacked = 0;
        for (Bitboard men = pos.pieces[menOf(side)]; men; men &= men - 1) {
            const Square s = lowestSquare(men);
            const uint8_t kind = kindOf(pos.board[s]);
            if (kind == Pawn) attacked |= PawnAttacks[side][s];
            if (kind == Knight) attacked |= KnightAttacks[s];
            if (kind == King) attacked |= KingAttacks[s];
            if (kind == LightBishop || kind == DarkBishop || kind == Queen)
                attacked |= bishopAttacks(s, pos.pieces[AllMen]);
            if (kind == Rook || kind == Queen) attacked |= rookAttacks(s, pos.pieces[AllMen]);
        }
        const Bitboard recorded = side == White ? st.whiteAttacks : st.blackAttacks;
        if (recorded != attacked)
            return formatted("the %s attack set is %016" PRIx64 ", the board gives %016" PRIx64,
                             side == White ? "White" : "Black", recorded, attacked);
        const Bitboard checkers = side == White ? st.whiteCheckers : st.blackCheckers;
        if (checkers != attackersOf(pos, kingSquare(pos, opposite(side)), side))
            return formatted("the %s checkers do not match the board", side == White ? "White" : "Black");
    }
    return "";
}

// -------------------------------------------------------------------------------------------
// fuzz_position

namespace {

std::string checkPositionInMode(const uint8_t* data, size_t size, bool chess960) {
    Position& pos = checkedPosition();
    const Chess960Option mode(chess960);
    const std::string arguments = textOf(data, size);
    positionCommand(pos, arguments.c_str());
    if (!positionValid) return "";
    std::string problem = positionProblem(pos);
    if (!problem.empty()) return "the position set up (" + fenOf(pos) + "): " + problem;

    Move duplicate = NoMove;
    const std::vector<Move> legal = generatedLegalMoves(pos, &duplicate);
    problem = moveListProblem(pos, legal, duplicate);
    if (problem.empty()) {
        uint64_t leaves = 0;
        problem = makeEveryMove(pos, legal, leaves);
        if (problem.empty()) {
            const Snapshot before(pos);
            const uint64_t perft1 = perft(pos, 1), perft2 = perft(pos, 2);
            if (perft1 != legal.size() || perft2 != leaves)
                problem = formatted("perft gives %" PRIu64 " and %" PRIu64
                                    " leaves, the legal moves %zu and %" PRIu64,
                                    perft1, perft2, legal.size(), leaves);
            else if (const std::string changed = before.differences(pos); !changed.empty())
                problem = "perft changed the position: " + changed;
        }
    }
    return problem.empty() ? "" : "in " + fenOf(pos) + ": " + problem;
}

}  // namespace

std::string checkPositionInput(const uint8_t* data, size_t size) {
    for (const bool chess960 : {false, true}) {
        const std::string problem = checkPositionInMode(data, size, chess960);
        if (!problem.empty()) return (chess960 ? "with UCI_Chess960: " : "") + problem;
    }
    return "";
}

// -------------------------------------------------------------------------------------------
// fuzz_moves

namespace {

// The starting points of the move sequences: castling (also through and out of attacked
// squares), en passant (also one that would expose the king), promotions with and without
// capture, check and double check, mate and stalemate.
const char* const MoveFens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3 0 3",
    "8/8/8/KPp4r/8/8/8/6k1 w - c6 0 2",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "r3k3/1P6/8/8/8/8/8/4K3 w q - 0 1",
    "4k3/8/8/8/1b6/5n2/8/4K2R w K - 0 1",
    "r3k2r/8/8/8/2b5/8/8/R3K2R w KQkq - 0 1",
    "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
    // Chess960: a king already on its destination, a rook already on its, king and rook
    // trading squares, a rook between the king and its destination, a rook that shields the
    // king's destination along the first rank, and double Chess960.
    "1r4kr/8/8/8/8/8/8/1R4KR w HBhb - 0 1",
    "2rk1r2/8/8/8/8/8/8/2RK1R2 w FCfc - 0 1",
    "5kr1/8/8/8/8/8/8/5KR1 w Gg - 0 1",
    "r5k1/8/8/8/8/8/8/1K1R4 w D - 0 1",
    "1r4k1/8/8/8/8/8/8/qR4K1 w B - 0 1",
    "bqnrkrnb/pppppppp/8/8/8/8/PPPPPPPP/RNBBKQNR w AHdf - 0 1",
};

}  // namespace

std::string checkMovesInput(const uint8_t* data, size_t size) {
    Position& pos = checkedPosition();
    // The first byte also picks the notation of castling, and with it the castling field.
    const size_t pick = size ? data[0] : 0;
    const Chess960Option mode((pick / std::size(MoveFens)) & 1);
    const char* const fen = MoveFens[pick % std::size(MoveFens)];
    positionCommand(pos, (std::string("fen ") + fen).c_str());
    if (!positionValid) return std::string("the position ") + fen + " is marked invalid";
    const std::string text = size ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : "";

    std::vector<Move> legal;
    bool newPosition = true;
    std::string played;
    for (const std::string& word : wordsOf(text, " \t\n\r")) {
        // The records the search needs stay free, as in a move list of "position".
        if (pos.state - pos.stateBase >= MoveListStateLimit) break;
        if (newPosition) {
            // The generators are compared with the brute-force list in the position check,
            // which also takes move lists: here, after every move, that would take most of
            // the time.
            Move duplicate = NoMove;
            legal = generatedLegalMoves(pos, &duplicate);
            if (duplicate) return "the generators list " + moveName(duplicate) + " twice in " + fenOf(pos);
            newPosition = false;
        }
        const Move move = legalMoveFromText(pos, word.data(), word.size());
        if (move == NoMove) continue;
        const std::string where = std::string(" (") + fen + played + ")";
        if (std::find(legal.begin(), legal.end(), move) == legal.end())
            return "the move text lookup gives " + moveName(move) + ", not a legal move" + where;

        const Snapshot before(pos);
        makeMoveAny(pos, move);
        computeAttacks(pos);
        std::string problem = positionProblem(pos);
        if (!problem.empty()) problem = "after " + moveName(move) + " (" + fenOf(pos) + "): " + problem;
        unmakeMoveAny(pos, move);
        if (!problem.empty()) return problem + where;
        const std::string changed = before.differences(pos);
        if (!changed.empty()) return "making and taking back " + moveName(move) + ": " + changed + where;

        // Played on as a move list of "position" plays it.
        makeMoveAny(pos, move);
        computeAttacks(pos);
        pos.historyLength = 0;
        played += (played.empty() ? " moves " : " ") + moveText(pos, move);
        newPosition = true;
        if (!positionIsValid(pos)) break;
    }
    return "";
}

// -------------------------------------------------------------------------------------------
// fuzz_commands

namespace {

// Searches are cut short: the node limit ends a one-thread search at that node, the depth
// limit ends it sooner in small positions. The node limit comes twice: whatever a keyword
// at the end of the line does with the word after it, one node limit stands.
const char* const SearchLimits = " nodes 400 depth 2 nodes 400";
// Every search costs a few milliseconds of waiting for the poll thread: the later "go"
// lines of a long input are skipped.
constexpr int MaxSearchesPerInput = 3;

// The command lines as the reader cuts them: at line feeds, without the carriage return
// before one; each ends at a NUL too, as the executor reads C strings. Lines longer than
// the reader's buffer, which it does not carry out, are left out.
std::vector<std::string> commandLines(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < size) {
        const void* feed = std::memchr(data + begin, '\n', size - begin);
        const size_t end = feed ? size_t(static_cast<const uint8_t*>(feed) - data) : size;
        std::string line(reinterpret_cast<const char*>(data) + begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() <= InputLineSize - 2) lines.push_back(line.substr(0, line.find('\0')));
        begin = end + 1;
    }
    return lines;
}

bool hasPrefix(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Whether a "setoption" line sets "Hash", found the way setOption finds the option: the
// option whose name begins with the characters before " value" (or before the last
// character when there is no "value").
bool setsHash(const std::string& line) {
    if (!hasPrefix(line, "setoption name")) return false;
    std::string text = line.size() >= 15 ? line.substr(15) : "";
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    if (text.empty()) return false;
    const size_t value = text.find("value");
    const long nameLength = value != std::string::npos ? long(value) - 1 : long(text.size()) - 1;
    if (nameLength < 0) return false;
    for (const OptionRecord* o = Options; o->type != OptionEnd; ++o)
        if (std::strncmp(o->name, text.c_str(), size_t(nameLength)) == 0)
            return std::strcmp(o->name, "Hash") == 0;
    return false;
}

// "go perft N" is the perft command, not a search: "go", one blank, then the word "perft".
bool isGoPerft(const std::string& line) {
    return hasPrefix(line, "go perft") && (line.size() == 8 || line[8] == ' ' || line[8] == '\t');
}

// Rewrites a line so that it ends in this process in bounded time, or returns false to
// skip it.
bool boundLine(std::string& line, int& searches) {
    // "quit" would end the process, "bench" searches for minutes. A new hash size rebuilds
    // the evaluation tables, which takes half a second in a fuzzing build.
    const std::vector<std::string> words = wordsOf(line, " \t");
    if (!words.empty() && (words[0] == "quit" || words[0] == "bench")) return false;
    if (setsHash(line)) return false;
    if (hasPrefix(line, "go") && !isGoPerft(line)) {
        if (++searches > MaxSearchesPerInput) return false;
        // An infinite or ponder search waits for a "stop" that this input cannot send.
        std::string bounded;
        for (const std::string& word : wordsOf(line, " \t"))
            if (word != "infinite" && word != "ponder") bounded += (bounded.empty() ? "" : " ") + word;
        line = bounded.substr(0, InputLineSize - 64) + SearchLimits;
        return true;
    }
    if (hasPrefix(line, "perft") || isGoPerft(line)) {
        // Two plies at most: every number on the line above 2 becomes 2.
        std::string bounded;
        for (size_t i = 0; i < line.size();) {
            if (line[i] < '0' || line[i] > '9') {
                bounded += line[i++];
                continue;
            }
            size_t end = i;
            while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
            const std::string digits = line.substr(i, end - i);
            const size_t first = digits.find_first_not_of('0');
            const bool small =
                first == std::string::npos || (first == digits.size() - 1 && digits.back() <= '2');
            bounded += small ? digits : "2";
            i = end;
        }
        line = bounded;
    }
    return true;
}

std::vector<std::string> outputLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t end = text.find('\n', begin);
        lines.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos) break;
        begin = end + 1;
    }
    return lines;
}

// The "bestmove" lines of a search's output. The move must be legal in the position
// searched, and one of the moves the "go" line restricted the search to (as the command
// read them) when there are any; 0000 only when there is no move to play: no legal move,
// an invalid position, or "searchmoves" naming no legal move.
std::string bestMoveProblem(Position& root, const std::string& line, const std::vector<std::string>& lines,
                            const std::vector<Move>& legal) {
    const std::vector<Move> restricted(searchMoves, searchMoves + searchMoveCount);
    for (Move m : restricted)
        if (std::find(legal.begin(), legal.end(), m) == legal.end())
            return "the search was restricted to " + moveName(m) + ", which is no legal move";
    std::vector<std::string> best;
    for (const std::string& output : lines)
        if (hasPrefix(output, "bestmove")) best.push_back(output);
    if (best.size() != 1) return formatted("%zu \"bestmove\" lines", best.size());
    const std::vector<std::string> words = wordsOf(best[0], " ");
    if (words[0] != "bestmove" || (words.size() != 2 && !(words.size() == 4 && words[2] == "ponder")))
        return "a malformed line \"" + best[0] + "\"";
    if (words[1] == "0000") {
        const std::vector<std::string> goWords = wordsOf(line, " \t");
        const bool noneNamed =
            restricted.empty() && std::find(goWords.begin(), goWords.end(), "searchmoves") != goWords.end();
        if (legal.empty() || noneNamed) return "";
        return "\"bestmove 0000\" with " + moveName(legal[0]) + " to play";
    }
    const std::vector<Move>& allowed = restricted.empty() ? legal : restricted;
    const auto found =
        std::find_if(allowed.begin(), allowed.end(), [&](Move m) { return moveText(root, m) == words[1]; });
    if (found == allowed.end()) return "\"" + best[0] + "\": the move may not be played";
    if (words.size() == 4) {
        makeMoveAny(root, *found);
        const std::vector<Move> replies = generatedLegalMoves(root);
        unmakeMoveAny(root, *found);
        computeAttacks(root);
        if (std::none_of(replies.begin(), replies.end(),
                         [&](Move m) { return moveText(root, m) == words[3]; }))
            return "\"" + best[0] + "\": the ponder move is not legal";
    }
    return "";
}

// While it lives: the engine set up for the command check, its output caught, standard
// input a pipe that stays silent (the poll thread reads input during a search), one search
// thread, a small hash, the default options and a new game.
struct CommandSession {
    SmallEngine small;
    CaughtOutput caught;
    int savedInput = -1;
    int writer = -1;

    CommandSession() {
        savedInput = dup(0);
        int fds[2];
        if (pipe(fds) == 0) {
            if (fds[0] != 0) {
                dup2(fds[0], 0);
                close(fds[0]);
            }
            writer = fds[1];
        }
        inputClosed = 0;
        if (runningThreads != 1) {
            optionThreads = 0;  // so that the option below always restarts the threads
            setOption("Threads value 1");
        }
        if (optionHash != 1) setOption("Hash value 1");
        setOption("MultiPV value 1");
        setOption("Ponder value false");
        executeCommand(rootPosition, "ucinewgame");
        takeOutput();
    }
    ~CommandSession() {
        if (savedInput >= 0) {
            dup2(savedInput, 0);
            close(savedInput);
        } else {
            close(0);
        }
        if (writer >= 0) close(writer);
    }
};

}  // namespace

std::string checkCommandsInput(const uint8_t* data, size_t size) {
    checkedPosition();
    CommandSession session;
    // Inputs of odd length run with the UCI_Chess960 option on (a "setoption" may still
    // change it), so that both notations of castling meet every command.
    const Chess960Option mode(size & 1);
    int searches = 0;
    for (std::string line : commandLines(data, size)) {
        if (!boundLine(line, searches)) continue;
        const bool search = hasPrefix(line, "go") && !isGoPerft(line);
        const std::vector<Move> legal =
            search && positionValid ? generatedLegalMoves(rootPosition) : std::vector<Move>();
        executeCommand(rootPosition, line.c_str());
        const std::vector<std::string> lines = outputLines(takeOutput());
        std::string problem;
        if (search) {
            problem = bestMoveProblem(rootPosition, line, lines, legal);
        } else if (std::any_of(lines.begin(), lines.end(),
                               [](const std::string& l) { return hasPrefix(l, "bestmove"); })) {
            problem = "\"bestmove\" without a search";
        }
        if (problem.empty() && positionValid) {
            problem = positionProblem(rootPosition);
            if (!problem.empty()) problem = "the position (" + fenOf(rootPosition) + "): " + problem;
        }
        if (problem.empty() && !(searchIdle && !searching && !driverWaiting && !stopping))
            problem = formatted(
                "the engine is not idle afterwards (idle %d, searching %d, waiting %d, stopping %d)",
                int(searchIdle), int(searching), int(driverWaiting), int(stopping));
        if (!problem.empty()) return "\"" + line.substr(0, 200) + "\": " + problem;
    }
    return "";
}
