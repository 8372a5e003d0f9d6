#include "core/params.h"

#include "core/flags.h"

TuningParameters tuning;

int32_t optionHash;
int32_t optionThreads;
int32_t optionMultiPV;
uint8_t optionPonder;
uint8_t optionChess960;
uint8_t optionShowWDL;
int32_t optionMoveOverhead;
uint8_t optionLimitStrength;
int32_t optionElo;

void setDefaults() {
    searchIdle = 1;
    driverWaiting = 0;
    pollBusy = 0;
    stopping = 0;
    benchMode = 0;
    optionPonder = 0;
    optionChess960 = 0;
    optionShowWDL = 0;
    optionLimitStrength = 0;

    optionHash = 256;
    optionThreads = 12;
    optionMultiPV = 1;
    optionMoveOverhead = 10;
    optionElo = 1500;

    TuningParameters& t = tuning;
    t.HighEvalThreshold = 13000;
    t.DecisiveEvalThreshold = 19000;
    t.RunawayPawnBase = 150;
    t.RunawayPawnPerRank = 50;
    t.KpkWinPerRank = 75;
    t.KpkWinBase = 250;
    t.ShallowLazyMargin = 110;
    t.NodeLazyMargin = 300;
    t.PawnValue = 90;
    t.KnightValue = 310;
    t.BishopValue = 320;
    t.RookValue = 490;
    t.QueenValue = 990;
    t.BishopPairValue = 40;
    t.QSEvasionMargin = 10;
    t.QSPawnDelta = 160;
    t.QSMinorDelta = 500;
    t.QSRookDelta = 800;
    t.AspirationWindow = 8;
    t.LateMoveCount = 5;
    t.AllNodeRazorMargin = 1125;
    t.MateRangeThreshold = 25000;
    t.ExclusionRazorMargin = 1125;
    t.EvasionExtension = 0;
    t.HistoryPenaltyMargin = 50;
    t.ShallowRazorMargin = 1125;
    t.FutilityDepthMargin = 48;
    t.SingularMinDepth = 16;
    t.NullMoveReduction = 8;
    t.QSPVEvasionDelta = 200;
    t.PruningMaxDepth = 20;
    t.PruningDepthOffset = 6;
    t.SeeMargin = 60;
    t.SeeKingRecaptureLimit = 6174;
    t.AspirationMinDepth = 10;
    t.AfterMoveFutilityMargin = 15;
    t.QSMatedZone = 15000;
    t.NullMoveVerification = 1;
    t.NullVerifyReduction = 2;
    t.CutLateMoveMargin = 35;
    t.CutSeeFutilityMargin = 125;
    t.AllLateMoveMargin = 35;
    t.ExclusionLateMoveMargin = 30;
    t.InstantMoveMargin = 50;
    t.StaticNullMargin = 70;
    t.StaticNullMinBeta = 10000;
    t.ShallowLateMoveMargin = 40;
    t.ShallowFutilityMargin = 50;
    t.ShallowPawnFutilityMargin = 75;
    t.ShallowMinorFutilityMargin = 400;
    t.ShallowRookFutilityMargin = 600;
    t.ShallowPawnValue = 125;
    t.ShallowRookValue = 200;
    t.ShallowMinorValue = 300;
    t.NullVerifyMinDepth = 12;
    t.PVReductionMoveCount = 3;
    t.IIDReduction = 6;
    t.IIDSecondReduction = 10;
    t.IIDNoHashMinDepth = 8;
    t.IIDMinDepth = 4;
    t.PVReductionMinDepth = 10;
    t.PVReductionMaxWindow = 100;
    t.QSPVQuietDepth = 4;
    t.QSPVCheckDepth = 5;
    t.QSPVCheckShift = 5;
    t.QSPVQuietShift = 5;
    t.QSPVGainMargin = 5;
    t.QSCheckMargin = 100;
    t.QSEvasionGainMargin = 25;
    t.QSEvasionPawnDelta = 200;
    t.QSEvasionMinorDelta = 500;
    t.RootReductionMoveCount = 3;
    t.RootDoubleReductionMoveCount = 6;
    t.RootReductionMinDepth = 10;
    t.ScoreDropMargin = 25;
    t.AllNodeSplit = 1;
    // Below 10 half plies the shallow nodes split as well; on two threads that has shown
    // no gain in time to depth or in games so far.
    t.SplitMinDepth = 10;
    t.HardTimePercent = 25;
    t.FullTimePercent = 100;
    t.BaseTimePermille = 40;
    t.EasyTimePercent = 15;
    t.EasyTimePonderPercent = 33;
    t.MainTimePercent = 75;
    t.KingSafetyWeight = 1024;
    t.MaterialWeight = 1024;
    t.MobilityWeight = 1024;
    t.PawnStructureWeight = 1024;
    t.PieceSquareWeight = 1024;
}
