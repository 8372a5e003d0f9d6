#include "shell/command.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "board/position.h"
#include "board/zobrist.h"
#include "core/flags.h"
#include "movegen/perft.h"
#include "platform/platform.h"
#include "search/driver.h"
#include "search/limits.h"
#include "shell/benchmark.h"
#include "shell/checkcommands.h"
#include "shell/engine.h"
#include "shell/go.h"
#include "shell/options.h"
#include "shell/output.h"
#include "shell/positioncommand.h"

Flag quitRequested;

// The current command line; readCommand runs on one thread at a time (the main thread
// while idle, the poll thread during a search), so one buffer serves both.
static char inputLine[InputLineSize];

bool readInputLine(char* buffer, bool* cut) {
    size_t length = 0;
    bool any = false, dropped = false;
    for (;;) {
        const int c = readInputByte();
        if (c < 0) {
            if (!any) return false;
            break;  // a last line without its line feed
        }
        any = true;
        if (c == '\n') break;
        if (length < InputLineSize - 2)
            buffer[length++] = char(c);
        else
            dropped = dropped || c != '\r';
    }
    if (length > 0 && buffer[length - 1] == '\r') --length;
    buffer[length] = 0;
    buffer[length + 1] = 0;
    if (cut) *cut = dropped;
    return true;
}

// The end of the input: a finite search may finish and print its "bestmove"; an
// infinite or ponder search, or one without any limit, is stopped; a perft ends with the
// process; once idle, the engine quits.
static void endOfInput(Position& root) {
    if (perftRunning) {
        executeCommand(root, "quit");
        return;
    }
    if (searching) {
        if (infinite || pondering || searchUnlimited()) executeCommand(root, "stop");
        return;
    }
    if (driverWaiting) {
        executeCommand(root, "stop");
        return;
    }
    executeCommand(root, "quit");
}

// Lines that arrived while a finished infinite or ponder search waited for "stop", or
// while a perft counted, and that must wait until it is over. Executed in order once idle.
static std::deque<std::string> deferredLines;
// At most this many lines wait; a flood of input during a long perft cannot take the memory.
constexpr size_t MaxDeferredLines = 1024;
static bool deferredLinesDropped = false;  // reported once until the queue empties

static void deferLine(const char* text) {
    if (deferredLines.size() < MaxDeferredLines) {
        deferredLines.emplace_back(text);
    } else if (!deferredLinesDropped) {
        deferredLinesDropped = true;
        printLine("info string too many lines waiting, line ignored (and later ones)\n");
    }
}

static bool firstWordIs(const char* text, const char* word) {
    const size_t n = strlen(word);
    return strncmp(text, word, n) == 0 && (text[n] == 0 || text[n] == ' ' || text[n] == '\t');
}

// A line longer than the buffer lost its end: it is not carried out, as the part that
// is left could mean something else (fewer moves, a limit missing). A command is told so;
// other text is ignored as any unknown line is. A "position" line also takes the position
// away, as "position fen" with nothing after it does, so that a "go" after it is answered
// as for an invalid position rather than searching the position before.
static void refuseCutLine(Position& root, const char* text) {
    static const char* const Commands[] = {"uci",      "isready", "setoption", "ucinewgame",
                                           "position", "go",      "stop",      "ponderhit",
                                           "quit",     "perft",   "eval",      "bench"};
    for (const char* command : Commands) {
        if (!firstWordIs(text, command)) continue;
        printLine("info string %s line longer than %d characters ignored\n", command, int(InputLineSize - 2));
        if (strcmp(command, "position") == 0) executeCommand(root, "position fen");
        return;
    }
}

void readCommand(Position& root) {
    if (stopping) return;
    if (!deferredLines.empty() && searchIdle && !driverWaiting) {
        const std::string line = std::move(deferredLines.front());
        deferredLines.pop_front();
        if (deferredLines.empty()) deferredLinesDropped = false;
        executeCommand(root, line.c_str());
        return;
    }
    if (quitRequested) executeCommand(root, "quit");
    bool cut = false;
    if (inputClosed || !readInputLine(inputLine, &cut)) {
        inputClosed = 1;
        endOfInput(root);
        return;
    }
    if (cut)
        refuseCutLine(root, inputLine);
    else
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

// "perft" alone names no command; "perft" and anything after it is one, refused unless it
// is a depth.
static bool perftCommandLine(const char* text) { return startsWith(text, "perft "); }
// "go perft N", as other engines take it, is "perft N"; without a depth it is refused as a
// "perft" without one is.
static bool goPerftLine(const char* text) {
    return startsWith(text, "go ") && firstWordIs(text + 3, "perft");
}

// "perft N": a whole number from 1 to PerftMaxDepth, blanks around it allowed. Anything else
// is refused, so that a mistyped depth cannot start a count that never ends.
static void perftLine(Position& root, const char* argument) {
    char* end = nullptr;
    const long long depth = strtoll(argument, &end, 10);
    const bool number = end != argument;
    while (*end == ' ' || *end == '\t') ++end;
    if (!number || *end || depth < 1 || depth > PerftMaxDepth) {
        printLine("info string perft needs a depth from 1 to %d\n", PerftMaxDepth);
        return;
    }
    runPerft(root, int(depth), perftCommand);
}

// The arguments of the position command that set up the root ("startpos" after a new
// game; empty when something else, the benchmark, set it up last).
static std::string rootSetUp = "startpos";

// Text from the command line in an "info string" line: a control character there, a carriage
// return above all, could make a GUI read the rest as a line of its own.
static void makePrintable(char* text) {
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) < 0x20 || *text == 0x7F) *text = '?';
}

// "position ...": the set-up, and a word on the castling rights of the FEN that had no king
// or rook to go with them and were dropped, and on a move that ended the list.
static void positionLine(Position& root, const char* arguments) {
    rootSetUp = arguments;
    PositionSetUp result = positionCommand(root, arguments);
    makePrintable(result.ignoredCastling);
    makePrintable(result.illegalMove);
    if (result.ignoredCastling[0])
        printLine("info string castling rights %s ignored: king or rook not on its square\n",
                  result.ignoredCastling);
    if (result.illegalMove[0])
        printLine("info string illegal move in position command: %s\n", result.illegalMove);
}

// The commands carried out only while no search runs, "uci" apart.
static bool idleCommand(const char* text) {
    return startsWith(text, "go") || startsWith(text, "position") || firstWordIs(text, "setoption") ||
           strcmp(text, "bench") == 0 || strcmp(text, "eval") == 0 || strcmp(text, "d") == 0 ||
           perftCommandLine(text);
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
    } else if (perftRunning) {
        // The perft counts on the main thread: every other line waits until the count is
        // over, and the lines keep their order.
        deferLine(text);
    } else if (strcmp(text, "ponderhit") == 0) {
        ponderhit();
    } else if (strcmp(text, "ucinewgame") == 0) {
        rootSetUp = "startpos";
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
            deferLine(text);
            if (!startsWith(text, "setoption")) stopSequence();
        }
    } else if (!searching) {
        // A line that ran the benchmark is still compared with the commands below.
        const bool bench = strcmp(text, "bench") == 0;
        if (bench) {
            runBenchmark(root, "go movetime 2000");
            rootSetUp.clear();
        }
        bool matched = true;
        if (goPerftLine(text)) {
            perftLine(root, text + 8);
        } else if (startsWith(text, "go")) {
            goCommand(root, text);
        } else if (startsWith(text, "position")) {
            positionLine(root, argumentsAt(text, 9));
        } else if (startsWith(text, "setoption name")) {
            const uint32_t fills = zobristFills;
            setOption(argumentsAt(text, 15));
            // A new hash size draws new keys: the root and its game history are set up again
            // with them, so that a "go" without a new "position" still sees repetitions.
            if (zobristFills != fills && positionValid && !rootSetUp.empty())
                positionCommand(root, rootSetUp.c_str());
        } else if (firstWordIs(text, "setoption")) {
            printLine("info string setoption needs a name: setoption name <name> value <value>\n");
        } else if (strcmp(text, "uci") == 0) {
            printOptions();
        } else if (perftCommandLine(text)) {
            perftLine(root, text + 6);
        } else if (strcmp(text, "eval") == 0) {
            evalCommand(root);
        } else if (strcmp(text, "d") == 0) {
            displayCommand(root);
        } else {
            matched = bench;
        }
        if (matched) stopping = 0;
    }

    if (quitRequested) executeCommand(root, "quit");
}
