// SPDX-License-Identifier: MIT
#pragma once
// Digests from the system's well-kept library (OpenSSL's libcrypto, or CNG on Windows): MD5 for
// PJLink's Class 1 scheme (the protocol fixes it), SHA-256 for the scheme of version 2.10, SHA-1
// for a WebSocket's opening handshake (RFC 6455 fixes it; nothing secret rests on it).
#include <string>
#include <string_view>

namespace tova::bridge {

// The digest of text as lower-case hexadecimal digits: 32 for MD5, 64 for SHA-256, 40 for SHA-1.
std::string md5Hex(std::string_view text);
std::string sha256Hex(std::string_view text);
std::string sha1Hex(std::string_view text);

// Bytes as lower-case hexadecimal digits, and back (nullopt-like empty result for a text that
// is not an even number of lower-case hexadecimal digits).
std::string hexOf(std::string_view bytes);
bool fromHex(std::string_view hex, std::string& bytes);

} // namespace tova::bridge
