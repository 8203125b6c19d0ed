// SPDX-License-Identifier: MIT
// libFuzzer entry for the panel's receive path and decoder: scripts/fuzz builds it with clang,
// ASan and UBSan.
#include "fuzz_paths.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!tova::fuzz::receivePath(data, size).empty()) __builtin_trap();
    return 0;
}
