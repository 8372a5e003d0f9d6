#include "shell/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/params.h"
#include "search/driver.h"
#include "shell/command.h"
#include "shell/engine.h"
#include "shell/hashoption.h"
#include "shell/output.h"
#include "smp/threads.h"

static void onHashChange(int) { Hash(); }
static void onThreadsChange(int) { startWorkers(0); }
static void onClearHash(int) { clearSearchMemory(); }

const OptionRecord Options[] = {
    {"Hash", OptionSpin, 1, 65536, 256, &optionHash, nullptr, nullptr, onHashChange},
    {"Threads", OptionSpin, 1, 12, 12, &optionThreads, nullptr, nullptr, onThreadsChange},
    {"MultiPV", OptionSpin, 1, 250, 1, &optionMultiPV, nullptr, nullptr, nullptr},
    {"Ponder", OptionCheck, 0, 0, 0, nullptr, &optionPonder, nullptr, nullptr},
    {"UCI_Chess960", OptionCheck, 0, 0, 0, nullptr, &optionChess960, nullptr, nullptr},
    {"UCI_ShowWDL", OptionCheck, 0, 0, 0, nullptr, &optionShowWDL, nullptr, nullptr},
    {"Clear Hash", OptionButton, 0, 0, 0, nullptr, nullptr, nullptr, onClearHash},
    {"Move Overhead", OptionSpin, 0, 5000, 10, &optionMoveOverhead, nullptr, nullptr, nullptr},
    {"UCI_LimitStrength", OptionCheck, 0, 0, 0, nullptr, &optionLimitStrength, nullptr, nullptr},
    {"UCI_Elo", OptionSpin, 1350, 2850, 1500, &optionElo, nullptr, nullptr, nullptr},
    {"", OptionEnd, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};

static const char* const TypeNames[] = {"spin", "check", "button", "string", "combo"};

void printOptions() {
    printLine("id name %s %s %s\n", "Orvo", "3.0", "w32");
    printLine("id author %s\n", "Quennethar");
    for (const OptionRecord* o = Options; o->type != OptionEnd; ++o) {
        char line[512];
        int length = snprintf(line, sizeof line, "option name %s type %s", o->name, TypeNames[o->type]);
        if (o->type == OptionSpin)
            length += snprintf(line + length, sizeof line - size_t(length), " min %d max %d default %d",
                               o->min, o->max, o->defaultValue);
        else if (o->type == OptionCheck)
            length += snprintf(line + length, sizeof line - size_t(length), " default %s",
                               o->defaultValue ? "true" : "false");
        else if (o->type == OptionString)
            length += snprintf(line + length, sizeof line - size_t(length), " default NULL");
        snprintf(line + length, sizeof line - size_t(length), "\n");
        printLine("%s", line);
    }
    printLine("uciok\n");
}

// Plain decimal conversion: leading blanks, optional sign, digits up to the first other
// character. Values beyond the int range saturate. False when there is no digit at all.
static bool parseDecimal(const char* text, int32_t& result) {
    char* end = nullptr;
    const long long value = strtoll(text, &end, 10);
    result = value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : int32_t(value);
    return end != text;
}

static void reportNoName() {
    printLine("info string setoption needs a name: setoption name <name> value <value>\n");
}

// The value text in a report: its first characters, enough to recognise it.
constexpr int ShownValueLength = 40;

void setOption(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    size_t length = strlen(text);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t')) --length;
    if (length == 0) {
        reportNoName();
        return;
    }

    static char line[InputLineSize];  // options are set by one thread at a time
    if (length >= sizeof line) length = sizeof line - 1;
    memcpy(line, text, length);
    line[length] = 0;
    // Names and values are echoed in "info string" lines: a control character there, a
    // carriage return above all, could make a GUI read the rest as a line of its own.
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) line[i] = '?';
    }

    // The name is compared over the characters before "value" minus the one separating
    // blank; without "value", over all characters but the last.
    const char* value = strstr(line, "value");
    const long nameLength = value ? long(value - line) - 1 : long(length) - 1;
    if (nameLength < 0) {
        reportNoName();
        return;
    }

    const OptionRecord* o = Options;
    while (o->type != OptionEnd && strncmp(o->name, line, size_t(nameLength)) != 0) ++o;
    if (o->type == OptionEnd) {
        // The whole name as given: up to "value", or the whole line without one.
        printLine("info string no such option: %.*s\n", value ? int(nameLength) : int(length), line);
        return;
    }

    if (o->type == OptionButton) {
        if (o->onChange) o->onChange(1);
        return;
    }
    // The value text starts after "value" and one blank. A value that is missing or cannot
    // be read leaves the option as it was: a slip in a GUI's dialog must not set the table
    // to its smallest size.
    const char* argument = value ? value + 5 : "";
    if (*argument) ++argument;
    if (!value || (!*argument && o->type != OptionString)) {
        printLine("info string %s value missing, unchanged\n", o->name);
        return;
    }

    if (o->type == OptionString) {
        if (o->stringValue) strcpy(o->stringValue, argument);
        if (o->onChange) o->onChange(1);
    } else if (o->type == OptionCheck) {
        if (strcmp(argument, "false") == 0 && *o->checkValue != 0) {
            *o->checkValue = 0;
            if (o->onChange) o->onChange(0);
        } else if (strcmp(argument, "true") == 0 && *o->checkValue != 1) {
            *o->checkValue = 1;
            if (o->onChange) o->onChange(1);
        } else if (strcmp(argument, "false") != 0 && strcmp(argument, "true") != 0) {
            printLine("info string %s value %.*s is not true or false, unchanged\n", o->name,
                      ShownValueLength, argument);
        }
    } else if (o->type == OptionSpin) {
        int32_t given = 0;
        if (!parseDecimal(argument, given)) {
            printLine("info string %s value %.*s is not a number, unchanged\n", o->name, ShownValueLength,
                      argument);
            return;
        }
        const int32_t v = given < o->min ? o->min : given > o->max ? o->max : given;
        if (v != given) printLine("info string %s value %d is out of range, set to %d\n", o->name, given, v);
        if (v == *o->spinValue) return;
        *o->spinValue = v;
        if (o->onChange) o->onChange(v);
    }
}
