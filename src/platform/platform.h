// The thin layer between the engine and the operating system: locks, auto-reset
// events, threads, sleeps, the clock, processor facts and raw standard input/output.
// Nothing outside this directory includes an operating-system header.
#pragma once

#include <cstddef>
#include <cstdint>

#ifndef _WIN32
#include <condition_variable>
#include <mutex>
#endif

#ifdef _WIN32

// A mutual-exclusion lock: a critical section, kept in storage of its size so that this
// header needs no Windows header. Locks live as long as the process.
struct Lock {
    Lock();
    void enter();
    void leave();
    alignas(8) unsigned char criticalSection[40];
};

// An auto-reset event: signal wakes one waiter (or the next one to wait) and resets itself.
struct Event {
    Event();
    void signal();
    void wait();
    void* handle;
};

#else

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

#endif

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

// A block for a large table or a state stack: `bytes` bytes starting on a multiple of
// `alignment` (a power of two up to 4096), every byte zero. Large blocks come straight
// from the system, whose new memory is zero already, so they cost nothing until used.
// Blocks of 2 MiB and more are offered huge pages where the system has them, which saves
// address-translation misses when a table is probed at random. Returns null when the
// memory cannot be had.
void* allocateLarge(size_t bytes, size_t alignment);
// Releases a block of allocateLarge (null is ignored).
void freeLarge(void* block);

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
