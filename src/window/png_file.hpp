// SPDX-License-Identifier: MIT
#pragma once
// A PNG file of 24-bit pixels, stored without compression: small enough for a window's picture,
// and needing no image library.
#include <cstdint>
#include <string>
#include <vector>

namespace tova {

// rgb: 0xRRGGBB, row by row from the top. The file's bytes.
std::string pngFile(int width, int height, const std::vector<std::uint32_t>& rgb);

} // namespace tova
