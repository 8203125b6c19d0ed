// SPDX-License-Identifier: MIT
// The controls' own behaviour: frames that pass their children's news up, the picture, buttons
// drawn in their colours and worked by the pointer and keys as the panel's rules say, the
// command box, the arrow pad's outline, and the message loop that shows the window every key first.
#include "panel_win32/win32_window.hpp"
#include "tables/picture.hpp"
#include "window/caption_lines.hpp"
#include "window/outline.hpp"
#include "win32/text.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <commctrl.h>

namespace tova::win32 {
namespace {

COLORREF ref(Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

ButtonKeys::Key keyOf(WPARAM vk) {
    if (vk == VK_SPACE) return ButtonKeys::Key::Space;
    if (vk == VK_RETURN) return ButtonKeys::Key::Enter;
    return ButtonKeys::Key::Other;
}

bool pointerDown(UINT msg) {
    return msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK ||
           msg == WM_MBUTTONDOWN || msg == WM_MBUTTONDBLCLK;
}

bool pointerUp(UINT msg) { return msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP; }

// The font selected into dc, measured as the caption rule asks: advances, the overhang of a
// line's last glyph, and the ink of the glyphs from their outlines.
// dc: the button's, its font selected (what is drawn is measured there); reference: the same
// font at PanelFonts::kReferenceScale times its size, where what a line needs is measured.
TextMeasure measureOn(HDC dc, HFONT reference) {
    auto advance = [dc](std::string_view s) {
        const std::wstring w = wide(s);
        SIZE size{};
        GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
        return static_cast<int>(size.cx);
    };
    const std::shared_ptr<HDC__> scaled(CreateCompatibleDC(dc), DeleteDC);
    SelectObject(scaled.get(), reference);
    auto extent = [scaled](std::string_view s) {
        const std::wstring w = wide(s);
        SIZE size{};
        GetTextExtentPoint32W(scaled.get(), w.c_str(), static_cast<int>(w.size()), &size);
        double width = size.cx;
        ABC abc{};
        if (!w.empty() && GetCharABCWidthsW(scaled.get(), w.back(), w.back(), &abc)) width += std::max(0, -abc.abcC);
        return width / PanelFonts::kReferenceScale;
    };
    auto ink = [dc](std::string_view s) {
        const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
        int top = 0, bottom = 0;
        bool any = false;
        for (wchar_t ch : wide(s)) {
            GLYPHMETRICS gm{};
            if (GetGlyphOutlineW(dc, ch, GGO_METRICS, &gm, 0, nullptr, &identity) == GDI_ERROR || gm.gmBlackBoxY == 0) continue;
            const int glyphTop = -gm.gmptGlyphOrigin.y;
            const int glyphBottom = glyphTop + static_cast<int>(gm.gmBlackBoxY);
            top = any ? std::min(top, glyphTop) : glyphTop;
            bottom = any ? std::max(bottom, glyphBottom) : glyphBottom;
            any = true;
        }
        return Ink{top, bottom - top};
    };
    return {advance, extent, ink};
}

} // namespace

LRESULT CALLBACK Win32Window::frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
        // A container is no owner: what its children tell goes to the window.
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        Win32Window* self = of(hwnd);
        const Control* c = self ? self->find(hwnd) : nullptr;
        FillRect(dc, &r, self ? self->brush(c ? c->layout->back : kGrey) : GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT); // a frame without caption
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT CALLBACK Win32Window::pictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32Window* self = of(hwnd);
    switch (msg) {
    case WM_PAINT:
        if (self) self->paintPicture(hwnd);
        else ValidateRect(hwnd, nullptr);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDBLCLK:
        if (self) self->m_rules.input().pictureDoubleClick();
        return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void Win32Window::paintPicture(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, brush(kWindowBack));
    const PicturePixels& p = picturePixels();
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = p.width;
    bi.bmiHeader.biHeight = -p.height; // rows from the top
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    // Unscaled at 96 dpi; at other DPIs it keeps its place in the layout's twips.
    StretchDIBits(dc, 0, 0, MulDiv(p.width, m_dpi, 96), MulDiv(p.height, m_dpi, 96), 0, 0, p.width, p.height,
                  p.rgb.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
    EndPaint(hwnd, &ps);
}

void Win32Window::draw(const DRAWITEMSTRUCT& d) {
    const Control* c = find(d.hwndItem);
    if (!c) return;
    HDC dc = d.hDC;
    RECT r = d.rcItem;
    const bool down = (d.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, brush(c->layout->back));
    DrawEdge(dc, &r, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(d.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ref(c->layout->fore));
    const Box button{r.left, r.top, r.right - r.left, r.bottom - r.top};
    // The contents: inside the edge, two pixels a side.
    const auto lines = captionLines(m_rules.caption(c->layout->name), button, button.width - 4, down,
                                    measureOn(dc, m_fonts.reference(c->layout->font, m_dpi)));
    if (lines.empty()) {
        RECT inner = r;
        InflateRect(&inner, -2, -2);
        if (down) OffsetRect(&inner, 1, 1);
        const std::wstring text = wide(m_rules.caption(c->layout->name));
        DrawTextW(dc, text.c_str(), -1, &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else {
        const UINT align = SetTextAlign(dc, TA_LEFT | TA_BASELINE);
        for (const CaptionLine& l : lines) {
            const std::wstring text = wide(l.text);
            TextOutW(dc, l.left, l.baseline, text.c_str(), static_cast<int>(text.size()));
        }
        SetTextAlign(dc, align);
    }
    SelectObject(dc, before);
    if (d.itemState & ODS_FOCUS) {
        // Around wrapped lines, never through them.
        RECT f = r;
        InflateRect(&f, lines.empty() ? -3 : -1, lines.empty() ? -3 : -1);
        DrawFocusRect(dc, &f);
    }
}

void Win32Window::paintOutline(HDC dc) {
    for (const OutlineStroke& l : outlineStrokes(m_dpi)) {
        LOGBRUSH lb{BS_SOLID, ref(kOutlineColour), 0};
        HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT, static_cast<DWORD>(std::lround(l.width)), &lb, 0, nullptr);
        const HGDIOBJ before = SelectObject(dc, pen);
        MoveToEx(dc, static_cast<int>(std::lround(l.x1)), static_cast<int>(std::lround(l.y1)), nullptr);
        LineTo(dc, static_cast<int>(std::lround(l.x2)), static_cast<int>(std::lround(l.y2)));
        SelectObject(dc, before);
        DeleteObject(pen);
    }
}

LRESULT CALLBACK Win32Window::buttonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR selfData) {
    auto* self = reinterpret_cast<Win32Window*>(selfData);
    Control* c = self->find(hwnd);
    if (c && c->layout->kind == Kind::Button) {
        // Its drawing fills it whole: erasing it first would paint every button twice.
        if (msg == WM_ERASEBKGND) return 1;
        if ((msg == WM_KEYDOWN || msg == WM_KEYUP) && self->buttonKey(*c, msg, wp)) return 0;
        if ((pointerDown(msg) || pointerUp(msg) || msg == WM_CAPTURECHANGED) && self->buttonPointer(*c, msg)) return 0;
        // The right button's click or the menu key: the button's context menu, where it has one.
        if (msg == WM_CONTEXTMENU && !c->held) {
            self->m_rules.input().contextMenu(std::string(c->layout->name));
            return 0;
        }
        if (msg == WM_KILLFOCUS) {
            self->m_rules.input().focusLost(std::string(c->layout->name));
            if (!c->down) SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
        }
    }
    // A quick second click is a click: the button sees a press, not a double-click.
    if (msg == WM_LBUTTONDBLCLK) msg = WM_LBUTTONDOWN;
    return DefSubclassProc(hwnd, msg, wp, lp);
}

ButtonFace Win32Window::face(Control& c) {
    const HWND hwnd = c.hwnd;
    return {[hwnd] { return (SendMessageW(hwnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; },
            [hwnd](bool down) { SendMessageW(hwnd, BM_SETSTATE, down ? TRUE : FALSE, 0); }};
}

bool Win32Window::buttonKey(Control& c, UINT msg, WPARAM wp) {
    const std::string name(c.layout->name);
    const ButtonFace f = face(c);
    // Windows flags a key's auto-repeat: a release stands at once.
    const auto taken = msg == WM_KEYDOWN ? m_rules.input().keyDown(name, keyOf(wp), c.held, f)
                                         : m_rules.input().keyUp(name, keyOf(wp), c.held, false, [&] { m_rules.input().keyLetGo(name, f); });
    return taken != WindowInput::Key::Pass;
}

bool Win32Window::buttonPointer(Control& c, UINT msg) {
    if (!c.held) return false; // a one-shot button clicks as every button does
    const std::string name(c.layout->name);
    if (pointerDown(msg)) {
        if (m_rules.input().pointerDown(name, face(c))) {
            c.down = true;
            SetCapture(c.hwnd);
        }
        return true;
    }
    if (!c.down) return true;
    // Released, or the pointer taken away: either ends the hold, so that nothing goes on moving.
    c.down = false;
    if (msg != WM_CAPTURECHANGED && GetCapture() == c.hwnd) ReleaseCapture();
    m_rules.input().pointerUp(name, face(c));
    return true;
}

LRESULT CALLBACK Win32Window::boxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    // Ctrl+K makes no character of its own in the box (the window has had the key); Enter none.
    if (msg == WM_CHAR && (wp == 0x0B || wp == L'\r' || wp == L'\n')) return 0;
    return DefSubclassProc(hwnd, msg, wp, lp);
}

bool Win32Window::preview(MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (!m_window || GetAncestor(msg.hwnd, GA_ROOT) != m_window) return false;
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
    // The window sees every key before the focused control, and passes it on.
    m_rules.input().windowKey(static_cast<int>(msg.wParam), shift, ctrl, alt);
    if (m_ended) return true;
    if (msg.wParam == VK_TAB && !ctrl && !alt) {
        moveFocus(shift ? -1 : 1);
        return true;
    }
    return false;
}

void Win32Window::moveFocus(int step) {
    const Control* now = find(GetFocus());
    const std::string_view next = nextInTabOrder(now ? now->layout->name : std::string_view(), step, [this](std::string_view name) {
        const HWND h = control(name);
        return h && IsWindowVisible(h) && IsWindowEnabled(h);
    });
    if (const HWND h = control(next)) SetFocus(h);
}

int Win32Window::run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (preview(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace tova::win32
