#include "engine_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef ORVO_BINARY
#define ORVO_BINARY "orvo"
#endif

static long long nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// ORVO_ENGINE, when set, is a shell command that starts the engine instead of the binary of
// this build: orvo.exe under Wine, for one.
EngineProcess::EngineProcess() : EngineProcess(std::string()) {}

EngineProcess::EngineProcess(const std::string& launcher) {
    signal(SIGPIPE, SIG_IGN);
    const char* engine = getenv("ORVO_ENGINE");
    const bool viaShell = engine || !launcher.empty();
    const std::string command =
        "exec " + launcher + " " + (engine ? std::string(engine) : std::string(ORVO_BINARY));
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) abort();
    pid = fork();
    if (pid < 0) {
        // The test goes on with no engine, every read and wait failing at once.
        ADD_FAILURE() << "fork failed: " << strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        return;
    }
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        if (viaShell)
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        else
            execl(ORVO_BINARY, ORVO_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toEngine = in[1];
    fromEngine = out[0];
}

EngineProcess::~EngineProcess() {
    if (toEngine >= 0) close(toEngine);
    if (pid > 0 && waitExit(0) == -1) {
        kill(pid, SIGKILL);
        if (waitExit(KillBoundMs) == -1)
            ADD_FAILURE() << "the engine (process " << pid << ") was still running " << KillBoundMs
                          << " ms after SIGKILL";
    }
    reportReadEnds();
    if (fromEngine >= 0) close(fromEngine);
}

void EngineProcess::sendRaw(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(toEngine, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        done += size_t(n);
    }
}

void EngineProcess::closeInput() {
    if (toEngine >= 0) close(toEngine);
    toEngine = -1;
}

// What a read that found the engine's output closed tells: how the engine ended, when it
// has (looked at without reaping it, so that waitExit still gets its code).
static std::string closedNote(int pid) {
    const long long deadline = nowMs() + 100;
    for (;;) {
        siginfo_t info{};
        if (pid <= 0) return "the engine closed its output";
        if (waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
            return info.si_code == CLD_EXITED
                       ? "the engine closed its output and exited with code " + std::to_string(info.si_status)
                       : "the engine closed its output and was ended by signal " +
                             std::to_string(info.si_status);
        if (nowMs() > deadline) return "the engine closed its output while running";
        usleep(2000);
    }
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        if (fromEngine < 0) return noLine("no engine was started");
        const long long left = deadline - nowMs();
        if (left < 0) return noLine("no line within " + std::to_string(timeoutMs) + " ms");
        pollfd request{fromEngine, POLLIN, 0};
        const int ready = poll(&request, 1, int(left));
        if (ready < 0 && errno != EINTR) return noLine(std::string("poll failed: ") + strerror(errno));
        if (ready <= 0) continue;
        char chunk[4096];
        const ssize_t n = read(fromEngine, chunk, sizeof chunk);
        if (n == 0) return noLine(closedNote(pid));
        if (n < 0) {
            if (errno == EINTR) continue;
            return noLine(std::string("read failed: ") + strerror(errno));
        }
        pending.append(chunk, size_t(n));
    }
}

int EngineProcess::waitExit(int timeoutMs) {
    if (pid <= 0) return -1;  // never started, or already waited for
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (nowMs() > deadline) return -1;
        usleep(2000);
    }
}
