// The seed corpora of the fuzz targets (fuzz/corpus) replayed through the targets' own
// checks in the ordinary test run: typical and odd inputs, and every input that once
// exposed a fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "board/position.h"
#include "board/zobrist.h"
#include "board_fixture.h"
#include "fuzz/checks.h"
#include "test_positions.h"

namespace {

using Check = std::string (*)(const uint8_t* data, size_t size);

void replayCorpus(const char* target, Check check) {
    const std::filesystem::path folder = std::filesystem::path(ORVO_FUZZ_CORPUS) / target;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 10u) << folder;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "")
            << file.filename().string();
    }
}

}  // namespace

TEST(FuzzCorpus, PositionInputs) { replayCorpus("position", checkPositionInput); }

TEST(FuzzCorpus, MoveInputs) { replayCorpus("moves", checkMovesInput); }

TEST(FuzzCorpus, CommandInputs) { replayCorpus("commands", checkCommandsInput); }

// The replays pass only as long as the checks see faults: a record that disagrees with its
// board in a key, a bitboard, the en-passant square or the attack map fails the check.
TEST(FuzzCorpus, PositionCheckSeesACorruptedRecord) {
    Position& pos = setUp(EnPassantF6);
    ASSERT_EQ(positionProblem(pos), "");
    StateRecord& st = *pos.state;
    st.key ^= 1;
    EXPECT_NE(positionProblem(pos), "");
    st.key ^= 1;
    pos.pieces[WhitePawn] ^= SquareBB[E4];
    EXPECT_NE(positionProblem(pos), "");
    pos.pieces[WhitePawn] ^= SquareBB[E4];
    st.epSquare = E6;  // the key fits the square, but the pawn in front of it is White's
    st.key ^= epKey[fileOf(F6)] ^ epKey[fileOf(E6)];
    EXPECT_NE(positionProblem(pos), "");
    st.epSquare = F6;
    st.key ^= epKey[fileOf(F6)] ^ epKey[fileOf(E6)];
    st.blackAttacks ^= SquareBB[A4];
    EXPECT_NE(positionProblem(pos), "");
    st.blackAttacks ^= SquareBB[A4];
    EXPECT_EQ(positionProblem(pos), "");
}
