// The engine as installed and as testing frameworks run it: "orvo bench" on the command
// line, "cmake --install" into a fresh prefix, and the Debian package.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

struct CommandResult {
    int status;
    std::vector<std::string> lines;
};

// Runs a shell command line and collects its standard output.
CommandResult run(const std::string& command) {
    CommandResult result{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::string line;
    for (int c; (c = fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            result.lines.push_back(line);
            line.clear();
        } else {
            line += char(c);
        }
    }
    if (!line.empty()) result.lines.push_back(line);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The node count of the last line of "orvo bench", which must read "<nodes> nodes <nps> nps".
// (GCC 12 warns inside <regex> in optimised builds, so the lines are read by hand.)
bool allDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

std::string benchNodes(const CommandResult& result) {
    if (result.lines.empty()) return "";
    const std::string& last = result.lines.back();
    const size_t nodes = last.find(" nodes "), nps = last.rfind(" nps");
    if (nodes == std::string::npos || nps == std::string::npos || nps + 4 != last.size() || nps < nodes + 7)
        return "";
    const std::string count = last.substr(0, nodes), speed = last.substr(nodes + 7, nps - nodes - 7);
    return allDigits(count) && allDigits(speed) ? count : "";
}

// A folder that is removed with everything in it when the test ends.
struct TemporaryFolder {
    std::filesystem::path path;
    TemporaryFolder() {
        char name[] = "/tmp/orvo-install-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~TemporaryFolder() {
        if (!path.empty()) std::filesystem::remove_all(path);
    }
};

}  // namespace

TEST(CommandLineBench, PrintsAPositionLineEachAndARepeatableNodeCount) {
    const CommandResult first = run(std::string(ORVO_BINARY) + " bench 8 1 16");
    ASSERT_EQ(first.status, 0);
    const std::string nodes = benchNodes(first);
    ASSERT_NE(nodes, "") << (first.lines.empty() ? "" : first.lines.back());
    int positionLines = 0;
    for (const auto& line : first.lines) positionLines += startsWith(line, "position ");
    EXPECT_EQ(positionLines, 30);
    EXPECT_EQ(benchNodes(run(std::string(ORVO_BINARY) + " bench 8 1 16")), nodes);
    // Another table size changes nothing at this depth but the speed; a greater depth
    // searches more.
    const std::string deeper = benchNodes(run(std::string(ORVO_BINARY) + " bench 9"));
    ASSERT_NE(deeper, "");
    EXPECT_GT(std::stoll(deeper), std::stoll(nodes));
}

TEST(CommandLineBench, RefusesArgumentsItCannotRead) {
    for (const char* arguments : {"bench x", "bench 0", "bench 8 0", "bench 8 1 16 4", "bench 8 1 -3"}) {
        const CommandResult result = run(std::string(ORVO_BINARY) + " " + arguments + " 2>/dev/null");
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_EQ(benchNodes(result), "") << arguments;
    }
}

TEST(CommandLineBench, OtherArgumentsLeaveTheEngineAsItIs) {
    const CommandResult result =
        run("printf 'uci\\nquit\\n' | " + std::string(ORVO_BINARY) + " --verbose benchmark");
    EXPECT_EQ(result.status, 0);
    ASSERT_FALSE(result.lines.empty());
    EXPECT_EQ(result.lines.back(), "uciok");
}

TEST(Install, InstalledEngineRunsFromItsPrefix) {
    TemporaryFolder prefix;
    ASSERT_FALSE(prefix.path.empty());
    const CommandResult install =
        run("cmake --install " + std::string(ORVO_BUILD_DIR) + " --prefix " + prefix.path.string() + " 2>&1");
    ASSERT_EQ(install.status, 0);
    const auto binary = prefix.path / "bin" / "orvo";
    ASSERT_TRUE(std::filesystem::exists(binary));
    EXPECT_TRUE(std::filesystem::exists(prefix.path / "share" / "man" / "man6" / "orvo.6"));

    const CommandResult perft =
        run("printf 'position startpos\\nperft 3\\nquit\\n' | " + binary.string() + " 2>&1");
    EXPECT_EQ(perft.status, 0);
    EXPECT_NE(std::find(perft.lines.begin(), perft.lines.end(), "Nodes searched: 8902"), perft.lines.end());
    EXPECT_NE(benchNodes(run(binary.string() + " bench 4")), "");
}

TEST(Install, DebianPackageHoldsTheEngineAndItsManualPage) {
    if (run("for p in dpkg-deb dpkg-shlibdeps cpack; do command -v $p; done").lines.size() < 3)
        GTEST_SKIP() << "needs dpkg-deb, dpkg-shlibdeps (dpkg-dev) and cpack";
    TemporaryFolder output;
    ASSERT_FALSE(output.path.empty());
    const CommandResult pack =
        run("cd " + std::string(ORVO_BUILD_DIR) + " && cpack -G DEB -B " + output.path.string() + " 2>&1");
    ASSERT_EQ(pack.status, 0);
    std::filesystem::path package;
    for (const auto& entry : std::filesystem::directory_iterator(output.path))
        if (entry.path().extension() == ".deb") package = entry.path();
    ASSERT_FALSE(package.empty());
    const std::string name = package.filename().string();
    const std::string prefix = "orvo_", suffix = "_amd64.deb";
    const bool named = name.size() > prefix.size() + suffix.size() && startsWith(name, prefix) &&
                       name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
                       name.substr(prefix.size(), name.size() - prefix.size() - suffix.size())
                               .find_first_not_of("0123456789.") == std::string::npos;
    EXPECT_TRUE(named) << name;

    const CommandResult contents = run("dpkg-deb -c " + package.string());
    std::string listing;
    for (const auto& line : contents.lines) listing += line + "\n";
    EXPECT_NE(listing.find("./usr/bin/orvo\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("./usr/share/man/man6/orvo.6"), std::string::npos) << listing;
    // The dependencies were computed from the binary: the C and C++ libraries at least.
    const CommandResult depends = run("dpkg-deb -f " + package.string() + " Depends");
    ASSERT_FALSE(depends.lines.empty());
    EXPECT_NE(depends.lines[0].find("libc6"), std::string::npos) << depends.lines[0];
    EXPECT_NE(depends.lines[0].find("libstdc++6"), std::string::npos) << depends.lines[0];
}
