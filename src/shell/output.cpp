#include "shell/output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

static Lock outputLock;
static OutputSink outputSink = nullptr;  // read and written under outputLock

OutputSink setOutputSink(OutputSink sink) {
    outputLock.enter();
    const OutputSink previous = outputSink;
    outputSink = sink;
    outputLock.leave();
    return previous;
}

void printLine(const char* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    char* text = buffer;
    if (length >= int(sizeof buffer)) {
        // Long principal variations: format once more into a block of the right size.
        text = static_cast<char*>(malloc(size_t(length) + 1));
        if (text) vsnprintf(text, size_t(length) + 1, format, again);
    }
    va_end(again);
    if (length > 0 && text) {
        outputLock.enter();
        if (outputSink)
            outputSink(text, size_t(length));
        else
            writeOutput(text, size_t(length));
        outputLock.leave();
    }
    if (text != buffer) free(text);
}
