// SPDX-License-Identifier: MIT
// The digests from OpenSSL's libcrypto.
#include "bridge/digest.hpp"

#include <openssl/evp.h>

#include <stdexcept>

namespace tova::bridge {
namespace {

std::string digestHex(std::string_view text, const EVP_MD* kind) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_Digest(text.data(), text.size(), md, &n, kind, nullptr) != 1) throw std::runtime_error("no digest");
    return hexOf(std::string_view(reinterpret_cast<const char*>(md), n));
}

} // namespace

std::string md5Hex(std::string_view text) { return digestHex(text, EVP_md5()); }
std::string sha256Hex(std::string_view text) { return digestHex(text, EVP_sha256()); }
std::string sha1Hex(std::string_view text) { return digestHex(text, EVP_sha1()); }

} // namespace tova::bridge
