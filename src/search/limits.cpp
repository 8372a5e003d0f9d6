#include "search/limits.h"

#include "board/position.h"
#include "core/params.h"
#include "platform/platform.h"

std::atomic<int64_t> hardTimeLimit{Never};
int64_t fullTimeLimit = Never;
int64_t mainTimeLimit = Never;
int64_t easyTimeLimit = Never;
int depthLimit = 255;
int mateLimit = 0;
Move searchMoves[MaxMoves];
int searchMoveCount = 0;
std::atomic<int64_t> lastInfoTime{0};
int64_t searchStartTime = 0;

Flag pondering;
Flag infinite;
Flag ponderhitSeen;
Flag checkTimeNow;
Flag untimedSearch;

constexpr int64_t SafetyMargin = 10000;
constexpr int64_t MinimumLimit = 1000;
constexpr int64_t MovesToGoCap = 25;
constexpr int64_t ReserveCap = 1000000;

uint64_t clockOffsetMillis = 0;

uint64_t clockMicros() { return (tickMillis() + clockOffsetMillis) * 1000u; }

void clearLimits() {
    hardTimeLimit = Never;
    stopRequested = 0;
    infinite = 0;
    pondering = 0;
    checkTimeNow = 0;
    lastInfoTime = 0;
    depthLimit = 255;
    mateLimit = 0;
    nodeLimit = NoNodeLimit;
    searchMoveCount = 0;
}

void allocateTime(int64_t t, int64_t inc, int64_t movesToGo) {
    if (t < 0) t = 0;
    if (t == Never) {
        untimedSearch = 1;
        fullTimeLimit = mainTimeLimit = easyTimeLimit = Never;
        return;
    }
    untimedSearch = 0;
    // The Move Overhead is kept back: the limits come from the clock that remains once the
    // delay between the engine and the GUI or server is paid.
    t -= int64_t(optionMoveOverhead) * 1000;
    if (t < 0) t = 0;
    const TuningParameters& p = tuning;
    int64_t hard, allocation;
    if (movesToGo == 0) {
        hard = t * p.HardTimePercent / 100 - SafetyMargin;
        if (hard < MinimumLimit) hard = MinimumLimit;
        allocation = t * p.BaseTimePermille / 1000 + inc;
    } else {
        const int64_t m = movesToGo < MovesToGoCap ? movesToGo : MovesToGoCap;
        const int64_t reserve = t / 10 < ReserveCap ? t / 10 : ReserveCap;
        hard = t * m / (4 * m - 3) - reserve;
        if (m == 1) hard -= hard / 10 < ReserveCap ? hard / 10 : ReserveCap;
        if (hard < MinimumLimit) hard = MinimumLimit;
        allocation = t / m + inc;
    }
    if (allocation > hard) allocation = hard;
    hardTimeLimit = hard;
    if (allocation < MinimumLimit) allocation = MinimumLimit;
    easyTimeLimit = allocation * (optionPonder ? p.EasyTimePonderPercent : p.EasyTimePercent) / 100;
    fullTimeLimit = allocation * p.FullTimePercent / 100;
    mainTimeLimit = allocation * p.MainTimePercent / 100;
}

bool searchUnlimited() {
    return untimedSearch && hardTimeLimit == Never && depthLimit == 255 && mateLimit == 0 &&
           nodeLimit == NoNodeLimit;
}

void ponderhit() {
    if (!pondering) return;
    ponderhitSeen = 1;
    pondering = 0;
    checkTimeNow = 1;
    hardTimeLimit = hardTimeLimit - searchStartTime + int64_t(clockMicros());
}
