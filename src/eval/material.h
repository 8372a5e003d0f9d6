// Material table: one entry per material configuration within the regular ranges
// (per side at most 1 queen, 2 rooks, 1 bishop of each square colour, 2 knights, 8 pawns).
// The evaluation reads it with one lookup per call, indexed by the material index that
// make/unmake keep in StateRecord::materialInfo.
#pragma once

#include <array>
#include <cstdint>

#include "board/position.h"

struct MaterialEntry {
    int16_t value;  // White's material balance with imbalance terms, tapered by phase and scaled
    uint8_t scale;  // drawishness scale of the whole evaluation, 128 = 1.0
    uint8_t flags;  // the flag bits below
};
static_assert(sizeof(MaterialEntry) == 4, "MaterialEntry must stay four bytes");

constexpr int MaterialTableSize = 419904;
extern MaterialEntry MaterialTable[MaterialTableSize];

// Flags of a material entry.
constexpr uint8_t BlackHasPiecesFlag = 0x01;    // Black has real pieces (see materialFlags)
constexpr uint8_t WhiteHasPiecesFlag = 0x02;    // the same for White
constexpr uint8_t WhiteSingleMinorFlag = 0x20;  // White's only piece is one knight or one bishop
constexpr uint8_t BlackSingleMinorFlag = 0x40;  // the same for Black
constexpr uint8_t BishopKnightMateFlag = 0x80;  // king, bishop and knight against a bare king
constexpr uint8_t EndingKindMask = 0x1C;        // one of the ending kinds below
constexpr uint8_t QueenEnding = 4;              // queen against queen (and pawns)
constexpr uint8_t RookEnding = 8;               // rook against rook
constexpr uint8_t SameBishopEnding = 12;        // bishops of the same square colour
constexpr uint8_t OppositeBishopEnding = 16;    // bishops of opposite square colours
constexpr uint8_t KnightEnding = 20;            // knight against knight
constexpr uint8_t BishopKnightEnding = 24;      // bishop against knight, either side
constexpr uint8_t SinglePawnEnding = 28;        // kings and a single pawn


// Piece counts of one material configuration.
struct MaterialCounts {
    int wQ, bQ;    // queens
    int wR, bR;    // rooks
    int wBl, wBd;  // White bishops on light and on dark squares
    int bBl, bBd;  // Black bishops on light and on dark squares
    int wN, bN;    // knights
    int wP, bP;    // pawns
};

// The four material anchors at phases 32, 24, 8 and 0, in this order.
using MaterialAnchors = std::array<int, 4>;

// Index of a configuration (counts must be within the regular ranges).
int materialIndex(const MaterialCounts& c);
// The counts of a table index, 0 <= index < MaterialTableSize.
MaterialCounts decodeMaterialIndex(int index);
// Game phase: minor pieces 1, rooks 3, queens 6 (32 with all pieces on the board).
int materialPhase(const MaterialCounts& c);
// The material balance at the four anchor phases, imbalance and special corrections included.
MaterialAnchors materialAnchors(const MaterialCounts& c);
// Blends the anchors for a phase of 0..32.
int interpolateAnchors(const MaterialAnchors& a, int phase);
// Winning chances in tenths (0..10) of the configuration for the side that is ahead:
// White when whiteStrong, otherwise Black.
int scaleTenths(const MaterialCounts& c, bool whiteStrong);
// The scale byte of the whole evaluation (128 = 1.0).
uint8_t materialScale(const MaterialCounts& c);
// The flags byte.
uint8_t materialFlags(const MaterialCounts& c);
// The complete entry of a configuration.
MaterialEntry materialEntry(const MaterialCounts& c);

// Fills MaterialTable from the current tuning parameters.
void initMaterialTable();
