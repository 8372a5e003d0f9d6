// Drives the real engine binary through pipes, the way a GUI does. Every read has a
// timeout, so a hang fails the test instead of stalling the whole run.
#pragma once

#include <chrono>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Bounds on how soon the engine answers are multiplied by this: the sanitizer builds run
// several times slower (ThreadSanitizer most of all).
#if defined(__SANITIZE_THREAD__)
constexpr int SlowBuildFactor = 8;
#elif defined(__SANITIZE_ADDRESS__)
constexpr int SlowBuildFactor = 4;
#else
constexpr int SlowBuildFactor = 1;
#endif

struct EngineProcess {
#ifdef _WIN32
    void* process = nullptr;     // the engine's process handle
    void* toEngine = nullptr;    // write end of the engine's standard input
    void* fromEngine = nullptr;  // read end of the engine's standard output
#else
    int pid = -1;
    int toEngine = -1;    // write end of the engine's standard input
    int fromEngine = -1;  // read end of the engine's standard output
#endif
    std::string pending;  // bytes read but not yet returned as lines

    // Why reads came back without a line (no line within the time, the engine's output
    // closed, a failed call), in order, with the count of repeats: printed when the test
    // has failed, so that an empty read tells which it was.
    std::vector<std::pair<std::string, int>> readEnds;

    EngineProcess();  // starts the engine
#ifndef _WIN32
    // Starts the engine through a launcher command line ("taskset -c 0", say).
    explicit EngineProcess(const std::string& launcher);
#endif
    ~EngineProcess();

    void send(const std::string& line);  // appends "\n"
    void sendRaw(const std::string& bytes);
    void closeInput();

    // The next output line without its line feed, or nothing after the timeout or at
    // the end of the output.
    std::optional<std::string> readLine(int timeoutMs = 5000);
    // Reads lines until one starts with the prefix; returns it (empty optional on timeout).
    std::optional<std::string> waitFor(const std::string& prefix, int timeoutMs = 10000,
                                       std::vector<std::string>* seen = nullptr);
    // Reads everything that arrives within the time.
    std::vector<std::string> drain(int timeoutMs);
    // The lines up to and including the first that starts with the prefix; without one the
    // test fails. The timeout is a plain build's: it is multiplied by SlowBuildFactor.
    std::vector<std::string> linesUntil(const std::string& prefix, int timeoutMs = 10000);
    // Sends "position" with the arguments (none when empty) and the go line; returns the
    // lines up to and including "bestmove", as linesUntil does.
    std::vector<std::string> search(const std::string& position, const std::string& go,
                                    int timeoutMs = 60000);
    // Skips the banner and the empty line printed at start-up.
    void skipBanner();

    // Waits for the process to end; returns its exit code, or -1 after the timeout.
    int waitExit(int timeoutMs = 5000 * SlowBuildFactor);

private:
    std::optional<std::string> noLine(const std::string& why);
#ifdef _WIN32
    std::optional<std::string> noLineAfter(const char* call);  // a read call that failed
#endif
    void reportReadEnds();
};

// How long the driver waits for an engine it has killed to be gone: one that is still
// there then fails the test instead of stalling the run.
constexpr int KillBoundMs = 10000 * SlowBuildFactor;

// A started engine with a 16 MB table, past the banner, with the Ponder option if asked
// and the number of search threads if given.
struct StartedEngine : EngineProcess {
    explicit StartedEngine(bool ponder = false, int threads = 0);
};

// The engine searching on one thread, and on two.
struct OneThreadEngine : StartedEngine {
    OneThreadEngine() : StartedEngine(false, 1) {}
};
struct TwoThreadEngine : StartedEngine {
    TwoThreadEngine() : StartedEngine(false, 2) {}
};

// What the engine prints, read line by line.
bool startsWith(const std::string& line, const std::string& prefix);
int countPrefix(const std::vector<std::string>& lines, const std::string& prefix);
int countBestmoves(const std::vector<std::string>& lines);
// The word that follows the word `key` in the line, "" when there is none:
// wordAfter(info, "nodes"), wordAfter(best, "ponder").
std::string wordAfter(const std::string& line, const std::string& key);
// Every word after the word `key`: wordsAfter(info, "pv") is the principal variation.
std::vector<std::string> wordsAfter(const std::string& line, const std::string& key);
// The number after the word `key`, 0 when there is none: numberAfter(info, "depth").
long long numberAfter(const std::string& line, const std::string& key);
// The move of a "bestmove" line ("" when it has none).
std::string moveOf(const std::string& bestmoveLine);
// The principal-variation reports ("info multipv ...") among the lines.
std::vector<std::string> pvLines(const std::vector<std::string>& lines);

long long msSince(std::chrono::steady_clock::time_point start);

#ifndef _WIN32
// The number of threads a running process has, as /proc lists them.
inline int threadsOf(int pid) {
    const std::filesystem::directory_iterator threads("/proc/" + std::to_string(pid) + "/task");
    return int(std::distance(begin(threads), end(threads)));
}
#endif
