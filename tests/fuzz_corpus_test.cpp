// Replays the fuzzer's corpus through the receive path: inputs that once found new paths.
#include "../fuzz/receive_path.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

TEST(FuzzCorpus, ReplaysWithoutAFault) {
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TOVA_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        tova::fuzz::receivePath(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}
