// SPDX-License-Identifier: MIT
// The controls' own behaviour: frames that pass their children's news up, the picture, buttons
// drawn in their colours and worked by the pointer and keys as the panel's rules say, the
// command box, the arrow pad's outline, and the message loop that shows the window every key first.
#include "panel/form1.hpp"
#include "panel_win32/panel_window.hpp"
#include "tables/picture.hpp"
#include "win32/text.hpp"

#include <algorithm>
#include <cmath>
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

// A caption in lines of at most width pixels: broken at a blank where the line has one, else
// between any two characters (the Japanese captions have no blanks).
std::vector<std::wstring> wrapLines(HDC dc, const std::wstring& text, int width) {
    std::vector<std::wstring> lines{L""};
    for (wchar_t ch : text) {
        std::wstring& line = lines.back();
        std::wstring longer = line + ch;
        SIZE size{};
        GetTextExtentPoint32W(dc, longer.c_str(), static_cast<int>(longer.size()), &size);
        if (size.cx <= width || line.empty()) {
            line = std::move(longer);
            continue;
        }
        const std::size_t blank = line.rfind(L' ');
        if (blank != std::wstring::npos && ch != L' ') {
            std::wstring rest = line.substr(blank + 1) + ch;
            line.erase(blank);
            lines.push_back(std::move(rest));
        } else {
            lines.emplace_back(ch == L' ' ? L"" : std::wstring(1, ch));
        }
    }
    return lines;
}

} // namespace

LRESULT CALLBACK PanelWindow::frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
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
        PanelWindow* self = of(hwnd);
        const Control* c = self ? self->find(hwnd) : nullptr;
        FillRect(dc, &r, self ? self->brush(c ? c->layout->back : kGrey) : GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT); // a frame without caption
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT CALLBACK PanelWindow::pictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    PanelWindow* self = of(hwnd);
    switch (msg) {
    case WM_PAINT:
        if (self) self->paintPicture(hwnd);
        else ValidateRect(hwnd, nullptr);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDBLCLK:
        if (self && self->m_form) self->m_form->onPictureDoubleClick();
        return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void PanelWindow::paintPicture(HWND hwnd) {
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

void PanelWindow::draw(const DRAWITEMSTRUCT& d) {
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
    const std::wstring text = wide(c->caption);
    RECT inner = r;
    InflateRect(&inner, -2, -2);
    if (down) OffsetRect(&inner, 1, 1);
    RECT measured = inner;
    DrawTextW(dc, text.c_str(), -1, &measured, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    if (measured.right - measured.left <= inner.right - inner.left) {
        DrawTextW(dc, text.c_str(), -1, &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else {
        // A caption wider than the button wraps; the margins would cut its lines, so they share
        // the whole button inside its edge, their ink (the em box) evenly spaced.
        RECT all = r;
        InflateRect(&all, -2, -1);
        if (down) OffsetRect(&all, 1, 1);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        const int ink = static_cast<int>(tm.tmHeight - tm.tmInternalLeading);
        const auto lines = wrapLines(dc, text, all.right - all.left);
        const int count = static_cast<int>(lines.size());
        const int gap = std::max(0, static_cast<int>(all.bottom - all.top - count * ink) / (count + 1));
        int y = all.top + gap;
        for (const std::wstring& line : lines) {
            RECT row{all.left, y - tm.tmInternalLeading, all.right, y + ink};
            DrawTextW(dc, line.c_str(), -1, &row, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
            y += ink + gap;
        }
    }
    SelectObject(dc, before);
    if (d.itemState & ODS_FOCUS) {
        RECT f = r;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

void PanelWindow::paintOutline(HDC dc) {
    const auto lines = outlineLines();
    auto end = [this](const OutlineLine& l, bool second) {
        return std::pair<double, double>{(second ? l.x2 : l.x1) * m_dpi / 1440.0, (second ? l.y2 : l.y1) * m_dpi / 1440.0};
    };
    for (const auto& l : lines) {
        // Each end reaches half the width of the widest line that meets it there, so that the
        // corners close; no line moves.
        std::pair<double, double> ends[2] = {end(l, false), end(l, true)};
        const double dx = ends[1].first - ends[0].first, dy = ends[1].second - ends[0].second;
        const double length = std::max(1.0, std::hypot(dx, dy));
        for (int e = 0; e < 2; ++e) {
            double reach = 0;
            for (const auto& other : lines)
                if (&other != &l && (end(other, false) == ends[e] || end(other, true) == ends[e]))
                    reach = std::max(reach, other.widthPixels * m_dpi / 96.0 / 2.0);
            const double s = e == 0 ? -reach : reach;
            ends[e].first += s * dx / length;
            ends[e].second += s * dy / length;
        }
        LOGBRUSH lb{BS_SOLID, ref(kOutlineColour), 0};
        HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT,
                                static_cast<DWORD>(std::lround(l.widthPixels * m_dpi / 96.0)), &lb, 0, nullptr);
        const HGDIOBJ before = SelectObject(dc, pen);
        MoveToEx(dc, static_cast<int>(std::lround(ends[0].first)), static_cast<int>(std::lround(ends[0].second)), nullptr);
        LineTo(dc, static_cast<int>(std::lround(ends[1].first)), static_cast<int>(std::lround(ends[1].second)));
        SelectObject(dc, before);
        DeleteObject(pen);
    }
}

LRESULT CALLBACK PanelWindow::buttonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR selfData) {
    auto* self = reinterpret_cast<PanelWindow*>(selfData);
    Control* c = self->find(hwnd);
    if (c && c->layout->kind == Kind::Button) {
        if ((msg == WM_KEYDOWN || msg == WM_KEYUP) && self->buttonKey(*c, msg, wp)) return 0;
        if ((pointerDown(msg) || pointerUp(msg) || msg == WM_CAPTURECHANGED) && self->buttonPointer(*c, msg)) return 0;
        if (msg == WM_KILLFOCUS) {
            c->keys.focusLost();
            if (!c->down) SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
        }
    }
    // A quick second click is a click: the button sees a press, not a double-click.
    if (msg == WM_LBUTTONDBLCLK) msg = WM_LBUTTONDOWN;
    return DefSubclassProc(hwnd, msg, wp, lp);
}

bool PanelWindow::buttonKey(Control& c, UINT msg, WPARAM wp) {
    const ButtonKeys::Key key = keyOf(wp);
    using Act = ButtonKeys::Act;
    Act act = msg == WM_KEYDOWN ? c.keys.press(key, c.held) : c.keys.release(key, c.held, false);
    // Windows flags a key's auto-repeat: its release stands at once.
    if (act == Act::Wait) act = c.keys.letGo();
    switch (act) {
    case Act::Pass: return c.held && key != ButtonKeys::Key::Other; // a held button's keys do nothing at all
    case Act::Ignore: return true;
    case Act::ShowDown: SendMessageW(c.hwnd, BM_SETSTATE, TRUE, 0); return true;
    case Act::Click:
        SendMessageW(c.hwnd, BM_SETSTATE, FALSE, 0);
        if (m_form) m_form->click(c.layout->name);
        return true;
    case Act::None:
    case Act::StillHeld:
    case Act::Wait: return true;
    }
    return true;
}

bool PanelWindow::buttonPointer(Control& c, UINT msg) {
    if (!c.held) return false; // a one-shot button clicks as every button does
    if (pointerDown(msg)) {
        // Any mouse button holds it; one pointer holds one button.
        if (m_form && m_form->mouseDown(c.layout->name)) {
            c.down = true;
            SetCapture(c.hwnd);
            SendMessageW(c.hwnd, BM_SETSTATE, TRUE, 0);
        }
        return true;
    }
    if (!c.down) return true;
    // Released, or the pointer taken away: either ends the hold, so that nothing goes on moving.
    c.down = false;
    if (msg != WM_CAPTURECHANGED && GetCapture() == c.hwnd) ReleaseCapture();
    SendMessageW(c.hwnd, BM_SETSTATE, FALSE, 0);
    if (m_form) m_form->mouseUp(c.layout->name);
    return true;
}

LRESULT CALLBACK PanelWindow::boxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    // Ctrl+K makes no character of its own in the box (the window has had the key); Enter none.
    if (msg == WM_CHAR && (wp == 0x0B || wp == L'\r' || wp == L'\n')) return 0;
    return DefSubclassProc(hwnd, msg, wp, lp);
}

bool PanelWindow::preview(MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (!m_window || GetAncestor(msg.hwnd, GA_ROOT) != m_window) return false;
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
    // The window sees every key before the focused control, and passes it on.
    if (m_form)
        m_form->onKeyDown(static_cast<int>(msg.wParam),
                          (shift ? Form1::kShiftMask : 0) | (ctrl ? Form1::kCtrlMask : 0) | (alt ? Form1::kAltMask : 0));
    if (m_ended) return true;
    if (msg.wParam == VK_TAB && !ctrl && !alt) {
        moveFocus(shift ? -1 : 1);
        return true;
    }
    return false;
}

void PanelWindow::moveFocus(int step) {
    // The layout's tab order, through every control that takes the focus and can be seen.
    std::vector<std::pair<int, HWND>> order;
    for (const Control& c : m_controls)
        if (c.layout->kind == Kind::Button || c.layout->kind == Kind::Option || c.layout->kind == Kind::TextBox)
            order.emplace_back(c.layout->tab, c.hwnd);
    std::sort(order.begin(), order.end());
    const HWND now = GetFocus();
    std::size_t at = 0;
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i].second == now) at = i;
    const long long count = static_cast<long long>(order.size());
    for (long long n = 1; n <= count; ++n) {
        const long long i = ((static_cast<long long>(at) + step * n) % count + count) % count;
        const HWND next = order[static_cast<std::size_t>(i)].second;
        if (IsWindowVisible(next) && IsWindowEnabled(next)) {
            SetFocus(next);
            return;
        }
    }
}

int PanelWindow::run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (preview(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace tova::win32
