// SPDX-License-Identifier: MIT
#pragma once
// The layout's fonts at the window's DPI: its fixed and proportional faces are "MS Gothic" and
// "MS PGothic" where Windows has them, else faces whose missing glyphs Windows' own font linking
// fills (Consolas for the fixed captions, which are all Latin; Segoe UI, linked to the Japanese
// UI faces, for the proportional ones).
#include "tables/layout_table.hpp"

#include <map>

#include <windows.h>

namespace tova::win32 {

class PanelFonts {
  public:
    PanelFonts() = default;
    ~PanelFonts() { clear(); }
    PanelFonts(const PanelFonts&) = delete;
    PanelFonts& operator=(const PanelFonts&) = delete;

    // The font of that code at dpi; made once for each dpi in use.
    HFONT font(FontCode code, int dpi);
    // The same at kReferenceScale times its size: widths measured on it and scaled back are the
    // face's own, not rounded glyph by glyph to the pixel as the hinted font's are, so captions
    // break where the Qt window breaks them.
    HFONT reference(FontCode code, int dpi);
    static constexpr int kReferenceScale = 100;
    void clear();

  private:
    HFONT made(FontCode code, int dpi, int scale);
    std::map<std::pair<FontCode, int>, HFONT> m_fonts, m_references;
};

} // namespace tova::win32
