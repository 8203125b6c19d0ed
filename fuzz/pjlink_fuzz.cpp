// SPDX-License-Identifier: MIT
// libFuzzer entry for a PJLink connection, with the password on and off.
#include "fuzz_paths.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!tova::fuzz::pjlinkPath(data, size).empty()) __builtin_trap();
    return 0;
}
