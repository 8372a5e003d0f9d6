#include "platform/platform.h"

#include <cpuid.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

void Event::signal() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        signalled = true;
    }
    condition.notify_one();
}

void Event::wait() {
    std::unique_lock<std::mutex> guard(mutex);
    condition.wait(guard, [this] { return signalled; });
    signalled = false;
}

void platformInit() { signal(SIGPIPE, SIG_IGN); }

void startThread(void (*body)(int), int argument) { std::thread(body, argument).detach(); }

void sleepMs(int milliseconds) {
    timespec request{milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&request, &request) != 0 && errno == EINTR) {}
}

uint64_t tickMillis() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
}

// The processors this process may run on: a container or taskset that allows two cores
// gets two search threads, however many the machine has.
int processorCount() {
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        const int count = CPU_COUNT(&allowed);
        if (count >= 1) return count;
    }
#endif
    long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count < 1 ? 1 : int(count);
}

uint64_t physicalMemoryBytes() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
}

bool hasPopcnt() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx >> 23) & 1;
}

constexpr size_t HugePageBytes = 2 * 1024 * 1024;

namespace {

// Blocks of a huge page and more are mapped from the system, whose new pages are zero:
// a table of gigabytes costs nothing until it is used, instead of seconds of writing
// zeros. Their sizes are kept here for the unmapping; there are only a few such tables.
struct MappedBlock {
    void* start;
    size_t bytes;
};
constexpr int MaxMappedBlocks = 64;
MappedBlock mappedBlocks[MaxMappedBlocks];
std::mutex mappedLock;

void* mapZeroed(size_t bytes) {
    // Room to move the start to a huge-page boundary; the slack is returned at once.
    const size_t mapped = bytes + HugePageBytes;
    void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    const uintptr_t first = reinterpret_cast<uintptr_t>(base);
    const uintptr_t start = (first + HugePageBytes - 1) & ~uintptr_t(HugePageBytes - 1);
    const size_t head = start - first, tail = mapped - head - bytes;
    if (head) munmap(base, head);
    if (tail) munmap(reinterpret_cast<void*>(start + bytes), tail);
    void* block = reinterpret_cast<void*>(start);
#ifdef MADV_HUGEPAGE
    madvise(block, bytes, MADV_HUGEPAGE);
#endif
    return block;
}

}  // namespace

void* allocateLarge(size_t bytes, size_t alignment) {
    if (bytes >= HugePageBytes) {
        bytes = (bytes + HugePageBytes - 1) & ~(HugePageBytes - 1);
        std::lock_guard<std::mutex> guard(mappedLock);
        for (MappedBlock& slot : mappedBlocks) {
            if (slot.start) continue;
            void* block = mapZeroed(bytes);
            if (block) slot = {block, bytes};
            return block;
        }
    }
    // Small blocks (and large ones beyond the list, which never happens in practice) come
    // from the heap and are cleared here.
    bytes = (bytes + alignment - 1) & ~(alignment - 1);
    void* block = std::aligned_alloc(alignment, bytes);
    if (block) std::memset(block, 0, bytes);
    return block;
}

void freeLarge(void* block) {
    if (!block) return;
    {
        std::lock_guard<std::mutex> guard(mappedLock);
        for (MappedBlock& slot : mappedBlocks) {
            if (slot.start != block) continue;
            munmap(block, slot.bytes);
            slot = {nullptr, 0};
            return;
        }
    }
    std::free(block);
}

bool inputAvailable() {
    pollfd request{0, POLLIN, 0};
    int ready = poll(&request, 1, 0);
    if (ready < 0) return errno != EINTR;
    // POLLHUP and POLLERR also count: the reader then sees the end of the input.
    return ready > 0 && request.revents != 0;
}

int readInputByte() {
    for (;;) {
        unsigned char byte;
        ssize_t got = read(0, &byte, 1);
        if (got == 1) return byte;
        if (got == 0) return -1;
        if (errno != EINTR && errno != EAGAIN) return -1;
        if (errno == EAGAIN) {
            pollfd request{0, POLLIN, 0};
            poll(&request, 1, -1);
        }
    }
}

void writeOutput(const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(1, text, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // the reader has gone; nothing sensible is left to do with the output
        }
        text += written;
        length -= size_t(written);
    }
}

// Present only in a build instrumented for profiling (the first stage of the profile-guided
// build), which must write its counters before _exit; the same code in both stages keeps the
// profile matching this function.
extern "C" void __gcov_dump() __attribute__((weak));

void exitProcess(int code) {
    if (__gcov_dump) __gcov_dump();
    _exit(code);
}
