#include "shell/command.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "board/fen.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "movegen/perft.h"
#include "platform/platform.h"
#include "search/driver.h"
#include "shell/benchmark.h"
#include "shell/engine.h"
#include "shell/flags.h"
#include "shell/go.h"
#include "shell/options.h"
#include "shell/output.h"

// The current command line; readCommand runs on one thread at a time (the main thread
// while idle, the poll thread during a search), so one buffer serves both.
static char inputLine[InputLineSize];

bool readInputLine(char* buffer) {
    size_t length = 0;
    bool any = false;
    for (;;) {
        const int c = readInputByte();
        if (c < 0) {
            if (!any) return false;
            break;  // a last line without its line feed
        }
        any = true;
        if (c == '\n') break;
        if (length < InputLineSize - 2) buffer[length++] = char(c);
    }
    if (length > 0 && buffer[length - 1] == '\r') --length;
    buffer[length] = 0;
    buffer[length + 1] = 0;
    return true;
}

// The end of the input: a finite search may finish and print its "bestmove"; an
// infinite or ponder search is stopped; once idle, the engine quits.
static void endOfInput(Position& root) {
    if (searching) {
        if (infinite || pondering) executeCommand(root, "stop");
        return;
    }
    if (driverWaiting) {
        executeCommand(root, "stop");
        return;
    }
    executeCommand(root, "quit");
}

// Lines that arrived while a finished infinite or ponder search waited for "stop" and that
// must wait until its "bestmove" has been printed. Executed in order once idle.
static std::deque<std::string> deferredLines;

void readCommand(Position& root) {
    if (stopping) return;
    if (!deferredLines.empty() && searchIdle && !driverWaiting) {
        const std::string line = std::move(deferredLines.front());
        deferredLines.pop_front();
        executeCommand(root, line.c_str());
        return;
    }
    if (quitRequested) executeCommand(root, "quit");
    if (inputClosed || !readInputLine(inputLine)) {
        inputClosed = 1;
        endOfInput(root);
        return;
    }
    executeCommand(root, inputLine);
}

// "stop", and "ucinewgame" during a search: raise the stop flags, wait until the driver
// has left the search, and, unless the driver is itself reading commands, until it has
// printed "bestmove".
static void stopSequence() {
    haltSearch(0);
    if (driverWaiting) return;
    pollBusy = 1;
    while (!searchIdle) sleepMs(1);
    pollBusy = 0;
    stopping = 0;
}

static bool startsWith(const char* text, const char* word) { return strncmp(text, word, strlen(word)) == 0; }

static bool perftCommandLine(const char* text) {
    return startsWith(text, "perft ") && isdigit(static_cast<unsigned char>(text[6]));
}

// The commands carried out only while no search runs, "uci" apart.
static bool idleCommand(const char* text) {
    return startsWith(text, "go") || startsWith(text, "position") || startsWith(text, "setoption name") ||
           strcmp(text, "bench") == 0 || strcmp(text, "eval") == 0 || perftCommandLine(text);
}

// The arguments that start at a fixed column, or an empty text when the line is shorter.
static const char* argumentsAt(const char* text, size_t column) {
    return strlen(text) >= column ? text + column : "";
}

void executeCommand(Position& root, const char* text) {
    newGamePending = 0;

    if (strcmp(text, "quit") == 0) {
        quitRequested = 1;
        if (!searchIdle) stopSequence();
        shutdown();
    } else if (strcmp(text, "stop") == 0) {
        if (!searchIdle) stopSequence();
    } else if (strcmp(text, "isready") == 0) {
        printLine("readyok\n");
    } else if (strcmp(text, "ponderhit") == 0) {
        ponderhit();
    } else if (strcmp(text, "ucinewgame") == 0) {
        if (searchIdle) {
            newGame(root);
        } else {
            newGamePending = 1;
            stopSequence();
        }
    } else if (driverWaiting) {
        // The search has ended and waits for "stop" or "ponderhit". An option waits until the
        // search is idle (a new thread count cannot be set up before); a command that sets up
        // or starts something else ends the wait as "stop" does, so that the search's
        // "bestmove" comes first and refers to the position it searched.
        if (strcmp(text, "uci") == 0) {
            printOptions();
        } else if (idleCommand(text)) {
            deferredLines.emplace_back(text);
            if (!startsWith(text, "setoption")) stopSequence();
        }
    } else if (!searching) {
        // A line that ran the benchmark is still compared with the commands below.
        const bool bench = strcmp(text, "bench") == 0;
        if (bench) runBenchmark(root, "go movetime 2000");
        bool matched = true;
        if (startsWith(text, "go")) {
            goCommand(root, text);
        } else if (startsWith(text, "position")) {
            positionCommand(root, argumentsAt(text, 9));
        } else if (startsWith(text, "setoption name")) {
            setOption(argumentsAt(text, 15));
        } else if (strcmp(text, "uci") == 0) {
            printOptions();
        } else if (perftCommandLine(text)) {
            perftCommand(root, atoi(text + 6));
        } else if (strcmp(text, "eval") == 0) {
            evalCommand(root);
        } else {
            matched = bench;
        }
        if (matched) stopping = 0;
    }

    if (quitRequested) executeCommand(root, "quit");
}
