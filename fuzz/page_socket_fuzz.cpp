// SPDX-License-Identifier: MIT
// libFuzzer entry for a page's socket: its opening, then its frames.
#include "fuzz_paths.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!tova::fuzz::pageSocketPath(data, size).empty()) __builtin_trap();
    return 0;
}
