// SPDX-License-Identifier: MIT
// libFuzzer entry: scripts/fuzz builds it with clang, ASan and UBSan.
#include "receive_path.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!tova::fuzz::receivePath(data, size).empty()) __builtin_trap();
    return 0;
}
