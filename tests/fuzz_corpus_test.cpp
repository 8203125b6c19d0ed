// SPDX-License-Identifier: MIT
// Replays the fuzzer's corpus through the receive path: inputs that once found new paths.
#include "../fuzz/receive_path.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

TEST(FuzzCorpus, EveryInputKeepsTheInvariants) {
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TOVA_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string broken;
        try {
            broken = tova::fuzz::receivePath(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             bytes.size());
        } catch (const std::exception& e) {
            broken = e.what();
        }
        EXPECT_EQ(broken, "") << entry.path().filename();
        ++replayed;
    }
    EXPECT_GT(replayed, 100); // the corpus is there, not an empty folder
}
