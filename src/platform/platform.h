// The thin layer between the engine and the operating system: locks, auto-reset
// events, threads, sleeps, the clock, processor facts and raw standard input/output.
// Nothing outside this directory includes an operating-system header.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

// A mutual-exclusion lock.
struct Lock {
    std::mutex mutex;
    void enter() { mutex.lock(); }
    void leave() { mutex.unlock(); }
};

// An auto-reset event: signal wakes one waiter (or the next one to wait) and resets itself.
struct Event {
    std::mutex mutex;
    std::condition_variable condition;
    bool signalled = false;
    void signal();
    void wait();
};

// Prepares the process: a vanished reader of standard output must not kill the engine.
void platformInit();

// Starts a detached thread running body(argument).
void startThread(void (*body)(int), int argument);

void sleepMs(int milliseconds);

// Milliseconds from a monotonic clock.
uint64_t tickMillis();

int processorCount();
// Installed physical memory in bytes (0 when unknown).
uint64_t physicalMemoryBytes();
bool hasPopcnt();

// Asks the system to back a large block with huge pages (fewer address-translation misses
// when a table is probed at random). Only a hint: nothing changes when it is refused.
void adviseHugePages(void* block, size_t bytes);

// True when a read of standard input would not block: bytes are pending, or the input
// has ended (so that the reader sees the end).
bool inputAvailable();

// Reads one byte of standard input without buffering. Returns the byte, or -1 at the
// end of the input (or on an unrecoverable read error).
int readInputByte();

// Writes all bytes to standard output (unbuffered).
void writeOutput(const char* text, size_t length);

// Ends the process at once with the given exit code.
[[noreturn]] void exitProcess(int code);

// Runs body(0) .. body(count - 1) at the same time, body(0) on the calling thread, and
// returns when all have finished. For one-off bulk work such as clearing a large table.
void runInParallel(void (*body)(int), int count);
