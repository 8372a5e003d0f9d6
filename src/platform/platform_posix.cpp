#include "platform/platform.h"

#include <cpuid.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
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

void* allocateLarge(size_t bytes, size_t alignment) {
    // Large blocks start on a huge-page boundary so that the system can back them with
    // huge pages; aligned_alloc wants a size that is a multiple of the alignment.
    if (bytes >= HugePageBytes) alignment = HugePageBytes;
    bytes = (bytes + alignment - 1) & ~(alignment - 1);
    void* block = std::aligned_alloc(alignment, bytes);
#ifdef MADV_HUGEPAGE
    if (block && bytes >= HugePageBytes) madvise(block, bytes, MADV_HUGEPAGE);
#endif
    return block;
}

void freeLarge(void* block) { std::free(block); }

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

void exitProcess(int code) { _exit(code); }
