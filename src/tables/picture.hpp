// SPDX-License-Identifier: MIT
#pragma once
// The picture at the top right of the panel (Image1), as pixels: both windows draw it from here,
// compiled in, so that no image file or image decoder is looked for at start.
#include <cstdint>
#include <vector>

namespace tova {

struct PicturePixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb; // 0xRRGGBB, row by row from the top
};

const PicturePixels& picturePixels();

} // namespace tova
