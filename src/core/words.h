// Scanning text made of blank-separated words, as FEN strings and command lines are.
#pragma once

#include <cstddef>
#include <cstring>

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The first character at or after p that is not a blank.
inline const char* skipSpaces(const char* p) {
    while (isSpace(*p)) ++p;
    return p;
}
// The end of the word that starts at p: the next blank or the end of the text.
inline const char* wordEnd(const char* p) {
    while (*p && !isSpace(*p)) ++p;
    return p;
}
// Whether the characters from begin to end are exactly `word`.
inline bool wordIs(const char* begin, const char* end, const char* word) {
    const size_t n = std::strlen(word);
    return size_t(end - begin) == n && std::memcmp(begin, word, n) == 0;
}
