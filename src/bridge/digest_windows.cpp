// SPDX-License-Identifier: MIT
// The digests from Windows' own cryptography (CNG), which every Windows since Vista carries.
#include "bridge/digest.hpp"

#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

namespace tova::bridge {
namespace {

std::string digestHex(std::string_view text, LPCWSTR algorithm, ULONG size) {
    unsigned char md[32];
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool done = size <= sizeof md && BCryptOpenAlgorithmProvider(&alg, algorithm, nullptr, 0) >= 0;
    done = done && BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
    done = done && BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(text.data())),
                                  static_cast<ULONG>(text.size()), 0) >= 0;
    done = done && BCryptFinishHash(hash, md, size, 0) >= 0;
    if (hash) BCryptDestroyHash(hash);
    if (alg) BCryptCloseAlgorithmProvider(alg, 0);
    if (!done) throw std::runtime_error("no digest");
    return hexOf(std::string_view(reinterpret_cast<const char*>(md), size));
}

} // namespace

std::string md5Hex(std::string_view text) { return digestHex(text, BCRYPT_MD5_ALGORITHM, 16); }
std::string sha256Hex(std::string_view text) { return digestHex(text, BCRYPT_SHA256_ALGORITHM, 32); }
std::string sha1Hex(std::string_view text) { return digestHex(text, BCRYPT_SHA1_ALGORITHM, 20); }

} // namespace tova::bridge
