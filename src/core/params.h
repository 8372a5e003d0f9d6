// Process-wide tuning parameters and UCI option values. All are set once by
// setDefaults at start-up; only the four UCI options change afterwards.
#pragma once

#include <cstdint>

struct TuningParameters {
    // Evaluation-hash classes
    int32_t HighEvalThreshold;
    int32_t DecisiveEvalThreshold;
    // Pawn-ending evaluation
    int32_t RunawayPawnBase;
    int32_t RunawayPawnPerRank;
    int32_t KpkWinPerRank;
    int32_t KpkWinBase;
    // Lazy-evaluation windows after a move
    int32_t ShallowLazyMargin;  // shallow zero-window search and quiescence
    int32_t NodeLazyMargin;     // cut-node, all-node and exclusion searches
    // Piece values for evaluation and static exchange
    int32_t PawnValue;
    int32_t KnightValue;
    int32_t BishopValue;
    int32_t RookValue;
    int32_t QueenValue;
    int32_t BishopPairValue;
    // Quiescence search
    int32_t QSEvasionMargin;
    int32_t QSPawnDelta;
    int32_t QSMinorDelta;
    int32_t QSRookDelta;
    // Iterative deepening
    int32_t AspirationWindow;
    // Zero-window searches
    int32_t LateMoveCount;
    int32_t AllNodeRazorMargin;
    int32_t MateRangeThreshold;
    int32_t ExclusionRazorMargin;
    uint8_t EvasionExtension;
    int32_t HistoryPenaltyMargin;
    int32_t ShallowRazorMargin;
    int32_t FutilityDepthMargin;
    int32_t SingularMinDepth;
    int32_t NullMoveReduction;
    int32_t QSPVEvasionDelta;
    int32_t PruningMaxDepth;
    int32_t PruningDepthOffset;
    // Static exchange
    int32_t SeeMargin;
    int32_t SeeKingRecaptureLimit;
    int32_t AspirationMinDepth;
    int32_t AfterMoveFutilityMargin;
    int32_t QSMatedZone;
    uint8_t NullMoveVerification;
    int32_t NullVerifyReduction;
    int32_t CutLateMoveMargin;
    int32_t CutSeeFutilityMargin;
    int32_t AllLateMoveMargin;
    int32_t ExclusionLateMoveMargin;
    int32_t InstantMoveMargin;
    // Shallow zero-window search
    int32_t StaticNullMargin;
    int32_t StaticNullMinBeta;
    int32_t ShallowLateMoveMargin;
    int32_t ShallowFutilityMargin;
    int32_t ShallowPawnFutilityMargin;
    int32_t ShallowMinorFutilityMargin;
    int32_t ShallowRookFutilityMargin;
    int32_t ShallowPawnValue;
    int32_t ShallowRookValue;
    int32_t ShallowMinorValue;
    int32_t NullVerifyMinDepth;
    // PV search
    int32_t PVReductionMoveCount;
    int32_t IIDReduction;
    int32_t IIDSecondReduction;
    int32_t IIDNoHashMinDepth;
    int32_t IIDMinDepth;
    int32_t PVReductionMinDepth;
    int32_t PVReductionMaxWindow;
    // PV quiescence search
    int32_t QSPVQuietDepth;
    int32_t QSPVCheckDepth;
    int32_t QSPVCheckShift;
    int32_t QSPVQuietShift;
    int32_t QSPVGainMargin;
    // Quiescence search
    int32_t QSCheckMargin;
    int32_t QSEvasionGainMargin;
    int32_t QSEvasionPawnDelta;
    int32_t QSEvasionMinorDelta;
    // Root search
    int32_t RootReductionMoveCount;
    int32_t RootDoubleReductionMoveCount;
    int32_t RootReductionMinDepth;
    int32_t ScoreDropMargin;
    // Parallel search
    uint8_t AllNodeSplit;
    int32_t SplitMinDepth;
    // Time allocation
    int32_t HardTimePercent;
    int32_t FullTimePercent;
    int32_t BaseTimePermille;
    int32_t EasyTimePercent;
    int32_t EasyTimePonderPercent;
    int32_t MainTimePercent;
    // Evaluation weights, 1024 = 1.0
    int32_t KingSafetyWeight;
    int32_t MaterialWeight;
    int32_t MobilityWeight;
    int32_t PawnStructureWeight;
    int32_t PieceSquareWeight;
};

extern TuningParameters tuning;

// UCI option values.
extern int32_t optionHash;          // megabytes, the power of two actually in use
extern int32_t optionThreads;       // requested search threads
extern int32_t optionMultiPV;       // principal variations searched and reported
extern uint8_t optionPonder;        // 1 when the GUI may ponder
extern uint8_t optionChess960;      // 1 for Chess960: castling read and written as the king taking its rook
extern uint8_t optionShowWDL;       // 1 when the reports carry win/draw/loss estimates
extern int32_t optionMoveOverhead;  // milliseconds kept back from each clock for the delay to the GUI
extern uint8_t optionLimitStrength; // 1 when the search plays at the level of optionElo
extern int32_t optionElo;           // the level of a limited search, on the UCI_Elo scale

// Sets every tuning parameter, shell flag and option value to its default.
void setDefaults();
