// SPDX-License-Identifier: MIT
// libFuzzer entry for two clients of the shared line.
#include "fuzz_paths.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!tova::fuzz::sharedLinePath(data, size).empty()) __builtin_trap();
    return 0;
}
