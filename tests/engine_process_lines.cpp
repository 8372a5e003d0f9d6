// The parts of the engine process driver that only deal in lines, the same on every
// system.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "engine_process.h"

static long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void EngineProcess::send(const std::string& line) { sendRaw(line + "\n"); }

std::optional<std::string> EngineProcess::noLine(const std::string& why) {
    std::string text = why;
    if (!pending.empty())
        text += " (" + std::to_string(pending.size()) + " bytes of an unfinished line held)";
    // A repeat of the last note is counted on it; past a screenful, notes are dropped.
    if (!readEnds.empty() && readEnds.back().first == text)
        ++readEnds.back().second;
    else if (readEnds.size() < 20)
        readEnds.emplace_back(text, 1);
    return std::nullopt;
}

void EngineProcess::reportReadEnds() {
    if (readEnds.empty() || !::testing::Test::HasFailure()) return;
    std::printf("Reads of the engine's output that returned no line, in order:\n");
    for (const auto& [note, times] : readEnds) {
        if (times > 1)
            std::printf("  %s (%d times)\n", note.c_str(), times);
        else
            std::printf("  %s\n", note.c_str());
    }
    std::fflush(stdout);
}

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

std::vector<std::string> EngineProcess::linesUntil(const std::string& prefix, int timeoutMs) {
    std::vector<std::string> lines;
    EXPECT_TRUE(waitFor(prefix, timeoutMs * SlowBuildFactor, &lines)) << "no line \"" << prefix << "\"";
    return lines;
}

std::vector<std::string> EngineProcess::search(const std::string& position, const std::string& go,
                                               int timeoutMs) {
    if (!position.empty()) send("position " + position);
    send(go);
    std::vector<std::string> lines;
    EXPECT_TRUE(waitFor("bestmove", timeoutMs * SlowBuildFactor, &lines))
        << "no bestmove: " << position << ", " << go;
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

int countPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const auto& l : lines) n += startsWith(l, prefix);
    return n;
}

int countBestmoves(const std::vector<std::string>& lines) { return countPrefix(lines, "bestmove"); }

std::vector<std::string> wordsAfter(const std::string& line, const std::string& key) {
    std::istringstream in(line);
    std::vector<std::string> words;
    bool found = false;
    for (std::string word; in >> word;) {
        if (found) words.push_back(word);
        found = found || word == key;
    }
    return words;
}

std::string wordAfter(const std::string& line, const std::string& key) {
    const std::vector<std::string> words = wordsAfter(line, key);
    return words.empty() ? "" : words[0];
}

long long numberAfter(const std::string& line, const std::string& key) {
    return std::atoll(wordAfter(line, key).c_str());
}

std::string moveOf(const std::string& bestmoveLine) { return wordAfter(bestmoveLine, "bestmove"); }

std::vector<std::string> pvLines(const std::vector<std::string>& lines) {
    std::vector<std::string> pvs;
    for (const auto& l : lines)
        if (startsWith(l, "info multipv ")) pvs.push_back(l);
    return pvs;
}

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}
