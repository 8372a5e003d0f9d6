#include "core/flags.h"

Flag inputClosed;
Flag newGamePending;
Flag searchIdle;
Flag searching;
Flag stopping;
Flag stopRequested;
Flag stopSearch;
Flag driverWaiting;
Flag pollBusy;
Flag benchMode;
Flag timerActive;
Flag timerAwake;
Flag perftRunning;
Flag firstSearchOfGame;
