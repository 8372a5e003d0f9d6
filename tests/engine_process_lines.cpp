// The parts of the engine process driver that only deal in lines, the same on every
// system.
#include <chrono>

#include "engine_process.h"

static long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void EngineProcess::send(const std::string& line) { sendRaw(line + "\n"); }

std::optional<std::string> EngineProcess::waitFor(const std::string& prefix, int timeoutMs,
                                                  std::vector<std::string>* seen) {
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        const long long left = deadline - nowMs();
        if (left < 0) return std::nullopt;
        auto line = readLine(int(left));
        if (!line) return std::nullopt;
        if (seen) seen->push_back(*line);
        if (line->compare(0, prefix.size(), prefix) == 0) return line;
    }
}

std::vector<std::string> EngineProcess::drain(int timeoutMs) {
    std::vector<std::string> lines;
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        const long long left = deadline - nowMs();
        if (left < 0) break;
        auto line = readLine(int(left));
        if (!line) break;
        lines.push_back(*line);
    }
    return lines;
}

void EngineProcess::skipBanner() {
    readLine(10000);
    readLine(10000);
}

StartedEngine::StartedEngine(bool ponder, int threads) {
    skipBanner();
    send("setoption name Hash value 16");
    if (threads > 0) send("setoption name Threads value " + std::to_string(threads));
    if (ponder) send("setoption name Ponder value true");
    send("isready");
    waitFor("readyok");
}

bool startsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

int countBestmoves(const std::vector<std::string>& lines) {
    int n = 0;
    for (const auto& l : lines) n += startsWith(l, "bestmove");
    return n;
}

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}
