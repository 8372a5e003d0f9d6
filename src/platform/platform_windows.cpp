// The platform layer on the Windows API: critical sections, auto-reset events,
// CreateThread, Sleep, the 64-bit tick count, and the input test for a console, a pipe or
// a file on standard input.
#include <windows.h>

#include <cpuid.h>

#include "platform/platform.h"

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(Lock::criticalSection));
static_assert(alignof(CRITICAL_SECTION) <= alignof(Lock));

static CRITICAL_SECTION* criticalSectionOf(Lock* lock) {
    return reinterpret_cast<CRITICAL_SECTION*>(lock->criticalSection);
}

Lock::Lock() { InitializeCriticalSection(criticalSectionOf(this)); }
void Lock::enter() { EnterCriticalSection(criticalSectionOf(this)); }
void Lock::leave() { LeaveCriticalSection(criticalSectionOf(this)); }

// Auto-reset, initially unsignalled, unnamed.
Event::Event() : handle(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
void Event::signal() { SetEvent(handle); }
void Event::wait() { WaitForSingleObject(handle, INFINITE); }

void platformInit() {
#ifdef __POPCNT__
    // The build uses the POPCNT instruction throughout; an older processor would stop at
    // the first count with an illegal instruction.
    if (!hasPopcnt()) {
        static const char message[] = "Orvo needs a processor with the POPCNT instruction\n";
        writeOutput(message, sizeof message - 1);
        exitProcess(1);
    }
#endif
    // No error boxes: a GUI or a tournament manager gets a failed process, not a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    // One-millisecond sleeps are what the poll thread and the waiting loops expect; the
    // default timer slice is about 15 ms.
    timeBeginPeriod(1);
}

namespace {

struct ThreadStart {
    void (*body)(int);
    int argument;
};

DWORD WINAPI threadEntry(LPVOID parameter) {
    const ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    start.body(start.argument);
    return 0;
}

}  // namespace

void startThread(void (*body)(int), int argument) {
    // The stack size is the program's own (set at link time), as for the main thread.
    HANDLE thread = CreateThread(nullptr, 0, threadEntry, new ThreadStart{body, argument}, 0, nullptr);
    if (thread) CloseHandle(thread);
}

void sleepMs(int milliseconds) { Sleep(DWORD(milliseconds)); }

// 64 bits: the 32-bit GetTickCount wraps after 49.7 days of uptime, which would make a
// search that spans the wrap see a negative elapsed time.
uint64_t tickMillis() { return GetTickCount64(); }

int processorCount() {
    // The processors this process may run on, as on Linux; the machine's count when the
    // affinity cannot be read.
    DWORD_PTR processMask = 0, systemMask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask) && processMask) {
        int count = 0;
        for (; processMask; processMask &= processMask - 1) ++count;
        return count;
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors < 1 ? 1 : int(info.dwNumberOfProcessors);
}

uint64_t physicalMemoryBytes() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? uint64_t(status.ullTotalPhys) : 0;
}

bool hasPopcnt() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx >> 23) & 1;
}

// Large pages need the "Lock pages in memory" right, which an administrator grants per
// user and which is off in the process token until it is enabled. Returns the large page
// size when they can be used, 0 otherwise; found once.
static size_t largePageBytes() {
    static const size_t bytes = []() -> size_t {
        const size_t minimum = GetLargePageMinimum();
        if (minimum == 0) return 0;
        HANDLE token;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return 0;
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        bool enabled = false;
        if (LookupPrivilegeValueA(nullptr, "SeLockMemoryPrivilege", &privileges.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr))
            enabled = GetLastError() == ERROR_SUCCESS;  // not ERROR_NOT_ALL_ASSIGNED
        CloseHandle(token);
        return enabled ? minimum : 0;
    }();
    return bytes;
}

void* allocateLarge(size_t bytes, size_t alignment) {
    // VirtualAlloc blocks start on the 64 KiB allocation granularity, which covers every
    // alignment asked for.
    (void)alignment;
    const size_t large = largePageBytes();
    if (large && bytes >= large) {
        const size_t rounded = (bytes + large - 1) & ~(large - 1);
        void* block =
            VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE);
        if (block) return block;
    }
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeLarge(void* block) {
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}

// Standard input is read through its handle, without the runtime's buffering. Four kinds
// of input are told apart once:
// - a console, where a person types: a line can be read without blocking once its Enter
//   key is among the pending console events (the console hands out whole lines);
// - a pipe, as a GUI opens one: PeekNamedPipe counts the pending bytes;
// - a disk file or a device: reads never wait, so input always counts as available;
// - a pipe that cannot be peeked (a Unix pipe under Wine, for one): a reader thread
//   copies it into a buffer, and the buffer is tested and read instead.
namespace {

enum class InputKind { Console, Pipe, File, Stream };

// The reader thread's buffer: a ring of bytes, guarded by its own critical section.
struct StreamBuffer {
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE changed;
    char bytes[1 << 16];
    size_t head = 0;   // next byte to hand out
    size_t count = 0;  // bytes held
    bool ended = false;
};

StreamBuffer* stream;
HANDLE inputHandle;

// Bytes read from a console, a pipe or a file and not yet handed out. Input is read by one
// thread at a time (the main thread while idle, the poll thread during a search).
char chunk[4096];
DWORD chunkNext = 0;
DWORD chunkEnd = 0;

DWORD WINAPI streamReader(LPVOID) {
    char block[4096];
    for (;;) {
        DWORD got = 0;
        const bool ok = ReadFile(inputHandle, block, sizeof block, &got, nullptr);
        EnterCriticalSection(&stream->lock);
        for (DWORD i = 0; i < got; ++i) {
            while (stream->count == sizeof stream->bytes)
                SleepConditionVariableCS(&stream->changed, &stream->lock, INFINITE);
            stream->bytes[(stream->head + stream->count++) % sizeof stream->bytes] = block[i];
        }
        if (!ok || got == 0) stream->ended = true;
        const bool ended = stream->ended;
        LeaveCriticalSection(&stream->lock);
        WakeAllConditionVariable(&stream->changed);
        if (ended) return 0;
    }
}

InputKind findInputKind() {
    inputHandle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (GetConsoleMode(inputHandle, &mode)) {
        // Lines as typed, echoed; no window-size or mouse events among the key events.
        mode |= ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT;
        mode &= ~DWORD(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT);
        SetConsoleMode(inputHandle, mode);
        return InputKind::Console;
    }
    if (GetFileType(inputHandle) != FILE_TYPE_PIPE) return InputKind::File;
    DWORD pending;
    if (PeekNamedPipe(inputHandle, nullptr, 0, nullptr, &pending, nullptr) ||
        GetLastError() == ERROR_BROKEN_PIPE)
        return InputKind::Pipe;
    stream = new StreamBuffer;
    InitializeCriticalSection(&stream->lock);
    InitializeConditionVariable(&stream->changed);
    HANDLE reader = CreateThread(nullptr, 0, streamReader, nullptr, 0, nullptr);
    if (reader) CloseHandle(reader);
    return InputKind::Stream;
}

InputKind inputKind() {
    static const InputKind kind = findInputKind();
    return kind;
}

// True when a key-down of Enter is among the pending console events, so that the console
// has a whole line to hand out. Events beyond what one look covers count as a line too.
bool consoleLinePending() {
    DWORD events = 0;
    if (!GetNumberOfConsoleInputEvents(inputHandle, &events)) return true;
    if (events == 0) return false;
    static INPUT_RECORD records[512];
    DWORD seen = 0;
    if (!PeekConsoleInputA(inputHandle, records, 512, &seen)) return true;
    for (DWORD i = 0; i < seen; ++i) {
        const INPUT_RECORD& r = records[i];
        if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown &&
            (r.Event.KeyEvent.wVirtualKeyCode == VK_RETURN || r.Event.KeyEvent.uChar.AsciiChar == '\r'))
            return true;
    }
    return seen == 512;
}

}  // namespace

bool inputAvailable() {
    if (chunkNext < chunkEnd) return true;
    switch (inputKind()) {
        case InputKind::Console:
            return consoleLinePending();
        case InputKind::Pipe: {
            DWORD pending = 0;
            // A failed peek means the writer has closed the pipe: the reader sees the end.
            if (!PeekNamedPipe(inputHandle, nullptr, 0, nullptr, &pending, nullptr)) return true;
            return pending > 0;
        }
        case InputKind::File:
            return true;
        case InputKind::Stream: {
            EnterCriticalSection(&stream->lock);
            const bool available = stream->count > 0 || stream->ended;
            LeaveCriticalSection(&stream->lock);
            return available;
        }
    }
    return true;
}

int readInputByte() {
    if (inputKind() == InputKind::Stream) {
        EnterCriticalSection(&stream->lock);
        while (stream->count == 0 && !stream->ended)
            SleepConditionVariableCS(&stream->changed, &stream->lock, INFINITE);
        int byte = -1;
        if (stream->count > 0) {
            byte = static_cast<unsigned char>(stream->bytes[stream->head]);
            stream->head = (stream->head + 1) % sizeof stream->bytes;
            --stream->count;
        }
        LeaveCriticalSection(&stream->lock);
        WakeAllConditionVariable(&stream->changed);
        return byte;
    }
    if (chunkNext == chunkEnd) {
        // A pipe hands out what has arrived, a console the typed line with "\r\n" at its
        // end (Ctrl+Z at the start of a line reads as the end of the input).
        DWORD got = 0;
        if (!ReadFile(inputHandle, chunk, sizeof chunk, &got, nullptr) || got == 0) return -1;
        chunkNext = 0;
        chunkEnd = got;
    }
    return static_cast<unsigned char>(chunk[chunkNext++]);
}

void writeOutput(const char* text, size_t length) {
    static const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(output, text, DWORD(length), &written, nullptr) || written == 0) return;
        text += written;
        length -= written;
    }
}

// Ends the process at once, as _exit does on POSIX: no thread runs again and no library is
// detached. ExitProcess first stops the other threads and detaches the libraries; under Wine
// that sometimes ended in the process being killed (status 137) instead of exiting with the
// code, about once in 15 exits on closed input. Everything written is already in the pipe.
void exitProcess(int code) {
    TerminateProcess(GetCurrentProcess(), UINT(code));
    ExitProcess(UINT(code));  // not reached: a process that terminates itself does not return
}
