// The board record every search thread owns: placement, side to move, king squares,
// the per-ply state records and the keys used for repetition detection.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "board/castling.h"
#include "core/flags.h"
#include "core/types.h"

// One record per ply. Making a move copies the first 32 bytes (the incrementally kept
// fields) into the next record; a null move copies the first 64 (adding the attack sets).
struct StateRecord {
    // --- copied forward by make ---
    uint64_t key;           // Zobrist key
    uint64_t pawnKey;       // pawns, both kings, castling rights and a constant
    uint32_t materialInfo;  // bits 0-7 phase, bits 8-26 material index, bit 31 irregular material
    Score psqScore;         // sum of the piece-square scores of all men
    uint8_t ttGeneration;   // age of the running search, written into transposition entries
    uint8_t evalSpare[3];   // carried forward unchanged
    uint8_t castling;       // 1 White short, 2 White long, 4 Black short, 8 Black long
    uint8_t rule50;         // plies since the last capture, pawn move or castling
    uint8_t epSquare;       // en-passant target square, 0 = none
    uint8_t capturedPiece;  // piece captured by the move that led here
    // --- copied forward by a null move ---
    Bitboard whiteAttacks;
    Bitboard blackAttacks;
    Bitboard whiteXrayBlockers;  // men alone between a White slider and the Black king
    Bitboard blackXrayBlockers;  // men alone between a Black slider and the White king
    // --- written per ply by the evaluation and the search ---
    int32_t evalScore;        // static evaluation, side to move's view
    int32_t positionalScore;  // White's evaluation minus the material value
    Move killer1;
    Move killer2;
    Move lastMove;  // the move that led here, 0 after a null move
    uint8_t materialFlags;
    uint8_t lazyCount;
    uint8_t evalHashClass;
    uint8_t whiteKingDanger;
    uint8_t blackKingDanger;
    uint8_t materialFlagsSaved;  // materialFlags kept across a null move
    uint8_t searchSpare[28];
    Bitboard blackCheckers;  // Black men giving check to the White king
    Bitboard whiteCheckers;  // White men giving check to the Black king
};

static_assert(sizeof(StateRecord) == 128, "a state record is 128 bytes");
static_assert(offsetof(StateRecord, whiteAttacks) == 32, "make copies exactly the first 32 bytes");
static_assert(offsetof(StateRecord, evalScore) == 64, "a null move copies exactly the first 64 bytes");

constexpr int StateStackSize = 2048;  // records per position (262144 bytes)
// Records a search can reach from its root (the ply limit with room to spare); the part of
// the stack that a set-up or a new search clears.
constexpr int SearchStackRecords = 256;
constexpr int KeyHistorySize = 256;

struct Position {
    uint8_t board[64];          // piece code on each square
    Bitboard pieces[17];        // by piece code; [0] White men, [8] Black men, [16] all men
    uint8_t pinnerOfBlack[64];  // for a blocker in front of the Black king: the White slider behind it
    uint8_t pinnerOfWhite[64];  // for a blocker in front of the White king: the Black slider behind it
    Side sideToMove;
    uint8_t whiteKingSquare;
    uint8_t blackKingSquare;
    uint8_t ply;             // plies made since the position was set up
    StateRecord* state;      // current record
    StateRecord* stateBase;  // first of StateStackSize records
    CastlingRules castle;    // where castling starts, fixed for a game
    uint64_t keyHistory[KeyHistorySize];
    uint64_t historyLength;  // index of the most recently pushed key
    uint64_t nodes;          // moves and null moves made by this position
    uint8_t abortFlag;       // raised by another thread to make every node search return at once;
                             // always accessed through abortRaised / setAbort
    uint8_t selDepth;        // the deepest ply a node search reached here since it was last cleared;
                             // always accessed through noteDepth, deepestPlyOf and clearDeepestPly
    uint8_t fenMalformed;    // the FEN of the last set-up described no board: the checks fail
    uint16_t moveNumber;     // the FEN's full-move number, counted on by the moves of "position"
};

// The position that "position", "ucinewgame" and "go" work on.
extern Position rootPosition;
// The last set-up of a position passed the validity checks (see positionIsValid).
extern Flag positionValid;

// The abort flag is written by one thread and polled by another without a lock.
inline bool abortRaised(Position& pos) {
    return std::atomic_ref<uint8_t>(pos.abortFlag).load(std::memory_order_relaxed) != 0;
}
inline void setAbort(Position& pos, bool on) {
    std::atomic_ref<uint8_t>(pos.abortFlag).store(on ? 1 : 0, std::memory_order_relaxed);
}

// "go nodes": the count at which a searching thread stops the search by itself, so that
// with one thread the search ends at the same node every time; NoNodeLimit when none.
// Set between searches, read by the searching threads and the poll thread.
constexpr uint64_t NoNodeLimit = ~uint64_t(0);
extern std::atomic<uint64_t> nodeLimit;
// Called when the count of one position reaches nodeLimit. The search driver sets it at
// start-up to its stop (which does nothing outside a search); until then it does nothing.
extern void (*nodeLimitReached)();

// The node counter has one writer, the thread searching the position; other threads sum it
// without a lock.
inline void countNode(Position& pos) {
    const uint64_t nodes = pos.nodes + 1;
    std::atomic_ref<uint64_t>(pos.nodes).store(nodes, std::memory_order_relaxed);
    if (nodes == nodeLimit.load(std::memory_order_relaxed)) [[unlikely]]
        nodeLimitReached();
}
inline uint64_t nodeCount(Position& pos) {
    return std::atomic_ref<uint64_t>(pos.nodes).load(std::memory_order_relaxed);
}
// A node search at the position's ply: the deepest ply reached so far. Another thread
// reads it for the reports, and clears it between iterations.
inline void noteDepth(Position& pos) {
    std::atomic_ref<uint8_t> selDepth(pos.selDepth);
    if (pos.ply > selDepth.load(std::memory_order_relaxed)) [[unlikely]]
        selDepth.store(pos.ply, std::memory_order_relaxed);
}
inline int deepestPlyOf(Position& pos) {
    return std::atomic_ref<uint8_t>(pos.selDepth).load(std::memory_order_relaxed);
}
inline void clearDeepestPly(Position& pos) {
    std::atomic_ref<uint8_t>(pos.selDepth).store(0, std::memory_order_relaxed);
}

// Material signature increment per piece code (phase in the low byte, the mixed-radix
// material index above it).
extern const uint32_t MaterialIncrement[16];
constexpr uint32_t IrregularMaterial = 0x80000000u;

// Clears the record and gives it its state stack (allocated once, 64-byte aligned,
// zeroed); the current record is the second of the stack.
void initPosition(Position& pos);
// Frees the state stack of a position that is no longer used.
void releasePosition(Position& pos);

// Recomputes every derived field from board, sideToMove and the castling rights and
// en-passant square of the current record, runs the attack map and sets positionValid
// from the validity checks.
void setUpFromBoard(Position& pos);

// The incrementally kept fields computed from scratch from the board, side to move,
// castling rights and en-passant square of the current record.
struct DerivedFields {
    uint64_t key;
    uint64_t pawnKey;
    uint32_t materialInfo;
    Score psqScore;
};
DerivedFields computeDerivedFields(const Position& pos);

// The checks a position must pass before it is searched or moves are made on it: a
// well-formed FEN; one king per side; per side at most 8 pawns, 9 queens, 10 rooks, 10
// knights, 10 bishops, 9 bishops of one square colour and 16 men; no pawn on rank 1 or 8;
// each castling right backed by its king and rook; the side not to move not in check.
// Needs only the board and bitboards.
bool positionIsValid(const Position& pos);

// Piece-code helpers on a position.
inline Bitboard occupied(const Position& pos) { return pos.pieces[AllMen]; }
inline Bitboard menOf(const Position& pos, Side s) { return pos.pieces[menOf(s)]; }
inline uint8_t kingSquare(const Position& pos, Side s) {
    return s == White ? pos.whiteKingSquare : pos.blackKingSquare;
}
