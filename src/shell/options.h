// The UCI options: one static table drives the answer to "uci" and "setoption".
#pragma once

#include <cstdint>

enum OptionType : int32_t {
    OptionSpin = 0,
    OptionCheck = 1,
    OptionButton = 2,
    OptionString = 3,
    OptionCombo = 4,
    OptionEnd = -1,
};

struct OptionRecord {
    const char* name;
    int32_t type;
    int32_t min;
    int32_t max;
    int32_t defaultValue;
    int32_t* spinValue;   // spin options
    uint8_t* checkValue;  // check options
    char* stringValue;    // string options (none in the table)
    void (*onChange)(int);
};

extern const OptionRecord Options[];

// "uci": identification, one line per option, "uciok".
void printOptions();

// "setoption name ...": text is what follows "setoption name ".
void setOption(const char* text);
