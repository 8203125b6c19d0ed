// SPDX-License-Identifier: MIT
// A picture of the window as the operator sees it, for the documentation and the tests.
#include "panel_win32/win32_window.hpp"

#include "win32/text.hpp"
#include "window/png_file.hpp"

#include <cstdio>
#include <vector>

namespace tova::win32 {

bool Win32Window::saveScreenshot(const std::string& path, int heightTwips) {
    if (heightTwips > 0) m_rules.setHeight(heightTwips);
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r;
    GetClientRect(m_window, &r);
    const int w = r.right, h = r.bottom;
    HDC window = GetDC(m_window), mem = CreateCompatibleDC(window);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ before = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, window, 0, 0, SRCCOPY); // the client area as it stands on the screen
    std::vector<std::uint32_t> rgb(static_cast<const std::uint32_t*>(bits),
                                   static_cast<const std::uint32_t*>(bits) + static_cast<std::size_t>(w) * h);
    for (auto& p : rgb) p &= 0xFFFFFF;
    SelectObject(mem, before);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(m_window, window);
    const std::string png = tova::pngFile(w, h, rgb);
    FILE* f = _wfopen(wide(path).c_str(), L"wb");
    if (!f) return false;
    const bool whole = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && whole;
}

} // namespace tova::win32
