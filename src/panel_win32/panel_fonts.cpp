// SPDX-License-Identifier: MIT
#include "panel_win32/panel_fonts.hpp"

#include <cmath>
#include <cwchar>

namespace tova::win32 {
namespace {

bool hasFace(const wchar_t* face) {
    HDC dc = GetDC(nullptr);
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(
        dc, &lf, [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

struct Face {
    const wchar_t* name;
    BYTE charset;
};

Face faceFor(bool proportional) {
    static const bool japanese = hasFace(L"MS Gothic") && hasFace(L"MS PGothic");
    if (japanese) return {proportional ? L"MS PGothic" : L"MS Gothic", SHIFTJIS_CHARSET};
    return {proportional ? L"Segoe UI" : L"Consolas", DEFAULT_CHARSET};
}

} // namespace

HFONT PanelFonts::font(FontCode code, int dpi) {
    HFONT& f = m_fonts[{code, dpi}];
    if (!f) f = made(code, dpi, 1);
    return f;
}

HFONT PanelFonts::reference(FontCode code, int dpi) {
    HFONT& f = m_references[{code, dpi}];
    if (!f) f = made(code, dpi, kReferenceScale);
    return f;
}

HFONT PanelFonts::made(FontCode code, int dpi, int scale) {
    const FontSpec spec = fontSpec(code);
    const Face face = faceFor(spec.proportional);
    LOGFONTW lf{};
    lf.lfHeight = -static_cast<LONG>(std::lround(spec.points * dpi / 72.0)) * scale;
    lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = face.charset;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = static_cast<BYTE>((spec.proportional ? VARIABLE_PITCH | FF_SWISS : FIXED_PITCH | FF_MODERN));
    wcsncpy(lf.lfFaceName, face.name, LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

void PanelFonts::clear() {
    for (auto* fonts : {&m_fonts, &m_references}) {
        for (auto& [key, f] : *fonts) DeleteObject(f);
        fonts->clear();
    }
}

} // namespace tova::win32
