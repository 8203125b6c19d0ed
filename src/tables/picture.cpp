// SPDX-License-Identifier: MIT
#include "tables/picture.hpp"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace tova {
namespace {

// The picture as its source keeps it: an XPM image, which is C text.
#include "image1.xpm"

// XPM: "width height colours chars-per-pixel", a line per colour ("XX c #RRGGBB"), then the rows.
PicturePixels decode(const char* const* xpm) {
    PicturePixels p;
    int colours = 0, cpp = 0;
    if (std::sscanf(xpm[0], "%d %d %d %d", &p.width, &p.height, &colours, &cpp) != 4) return {};
    std::map<std::string, std::uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        const char* line = xpm[i];
        const char* hash = std::strchr(line + cpp, '#');
        palette[std::string(line, static_cast<std::size_t>(cpp))] =
            hash ? static_cast<std::uint32_t>(std::strtoul(hash + 1, nullptr, 16)) : 0;
    }
    p.rgb.reserve(static_cast<std::size_t>(p.width * p.height));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.rgb.push_back(palette[std::string(xpm[1 + colours + y] + x * cpp, static_cast<std::size_t>(cpp))]);
    return p;
}

} // namespace

const PicturePixels& picturePixels() {
    static const PicturePixels pixels = decode(image1);
    return pixels;
}

} // namespace tova
