// SPDX-License-Identifier: MIT
#pragma once
// MD5, for PJLink's authentication digest only (the protocol fixes it; it protects nothing else).
#include <string>
#include <string_view>

namespace tova::bridge {

// The digest of text as 32 lower-case hexadecimal digits.
std::string md5Hex(std::string_view text);

} // namespace tova::bridge
