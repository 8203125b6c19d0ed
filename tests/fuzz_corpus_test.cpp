// SPDX-License-Identifier: MIT
// Replays each fuzzer's corpus through its path: inputs that once found new paths.
#include "fuzz_paths.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using Path = std::string (*)(const std::uint8_t*, std::size_t);

int replay(const char* corpus, Path path) {
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TOVA_FUZZ_CORPUS "/") + corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string broken;
        try {
            broken = path(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        } catch (const std::exception& e) {
            broken = e.what();
        }
        EXPECT_EQ(broken, "") << corpus << "/" << entry.path().filename();
        ++replayed;
    }
    return replayed;
}

} // namespace

TEST(FuzzCorpus, EveryInputKeepsTheInvariants) {
    const struct {
        const char* corpus;
        Path path;
        int atLeast; // the corpus is there, not an empty folder
    } targets[] = {
        {"receive", tova::fuzz::receivePath, 100},
        {"pjlink", tova::fuzz::pjlinkPath, 20},
        {"shared_line", tova::fuzz::sharedLinePath, 20},
        {"page_socket", tova::fuzz::pageSocketPath, 20},
    };
    for (const auto& t : targets) EXPECT_GE(replay(t.corpus, t.path), t.atLeast) << t.corpus;
}
