// SPDX-License-Identifier: MIT
// The window in Win32: the controls built from the layout table, its outer height in twips on
// its frame, what runs after the running handler, END, and its messages.
#include "panel_win32/win32_window.hpp"

#include "panel_win32/control_ids.hpp"
#include "tables/controls.hpp"
#include "win32/text.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <commctrl.h>

namespace tova::win32 {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

COLORREF ref(Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// Windows 10's own DPI calls, where the system has them; older systems run at the system DPI.
int dpiOf(HWND hwnd) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpi =
        reinterpret_cast<GetDpi>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && hwnd) return static_cast<int>(getDpi(hwnd));
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

void registerClasses(WNDPROC window, WNDPROC frame, WNDPROC picture) {
    static bool done = false;
    if (std::exchange(done, true)) return;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.hInstance = instance;
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.lpfnWndProc = window;
    c.hbrBackground = CreateSolidBrush(ref(kWindowBack));
    c.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    c.lpszClassName = kPanelClass;
    RegisterClassExW(&c);
    c.hIcon = nullptr;
    c.lpfnWndProc = frame;
    c.hbrBackground = nullptr; // painted whole in its WM_PAINT
    c.lpszClassName = kFrameClass;
    RegisterClassExW(&c);
    c.style = CS_DBLCLKS; // the picture reacts to a double-click only
    c.lpfnWndProc = picture;
    c.lpszClassName = kPictureClass;
    RegisterClassExW(&c);
}

} // namespace

Win32Window::Win32Window() : m_rules(kClientHeight, hooks()) {
    INITCOMMONCONTROLSEX cc{sizeof cc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&cc);
    registerClasses(windowProc, frameProc, pictureProc);
    m_dpi = dpiOf(nullptr);
    const SIZE outer = outerSize(px(kClientWidth), px(kClientHeight));
    m_window = CreateWindowExW(kExStyle, kPanelClass, wide(kWindowCaption).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               outer.cx, outer.cy, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    m_dpi = dpiOf(m_window);
    // Its outer height as laid out, the frame counted: what start-up centres it by.
    m_rules.laidOut(MulDiv(outerSize(px(kClientWidth), px(kClientHeight)).cy, 1440, m_dpi));
    applyHeight();
    m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_tips, TTM_SETMAXTIPWIDTH, 0, 600);
    build();
}

Win32Window::~Win32Window() {
    if (m_window) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    for (auto& [c, b] : m_brushes) DeleteObject(b);
}

SIZE Win32Window::outerSize(int clientWidth, int clientHeight) const {
    RECT r{0, 0, clientWidth, clientHeight};
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = reinterpret_cast<AdjustForDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjust) adjust(&r, kStyle, FALSE, kExStyle, static_cast<UINT>(m_dpi));
    else AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    return {r.right - r.left, r.bottom - r.top};
}

void Win32Window::build() {
    const std::vector<PlannedControl> plan = planControls(m_dpi);
    m_controls.reserve(plan.size());
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const LayoutControl& l = *plan[i].layout;
        Control& c = m_controls.emplace_back();
        c.layout = &l;
        c.held = plan[i].held;
        HWND parent = l.container.empty() ? m_window : m_controls[m_byName.find(l.container)->second].hwnd;
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (l.visible ? WS_VISIBLE : 0) | (plan[i].takesFocus ? WS_TABSTOP : 0);
        DWORD ex = 0;
        const wchar_t* cls = L"STATIC";
        switch (l.kind) {
        case Kind::Frame:
            cls = kFrameClass;
            style |= WS_CLIPCHILDREN;
            ex = WS_EX_CONTROLPARENT;
            break;
        case Kind::Label:
            style |= SS_NOPREFIX | SS_CENTERIMAGE |
                     (l.align == Align::Center ? SS_CENTER : l.align == Align::Right ? SS_RIGHT : SS_LEFT);
            if (l.border) ex |= WS_EX_STATICEDGE;
            break;
        case Kind::Button:
            cls = L"BUTTON";
            style |= BS_OWNERDRAW;
            break;
        case Kind::Option:
            cls = L"BUTTON";
            // Marked by the window itself, one per container: the system's own grouping reaches
            // into the containers within.
            style |= BS_RADIOBUTTON;
            break;
        case Kind::TextBox:
            cls = L"EDIT";
            style |= ES_AUTOHSCROLL;
            ex |= WS_EX_CLIENTEDGE;
            break;
        case Kind::Picture: cls = kPictureClass; break;
        }
        c.hwnd = CreateWindowExW(ex, cls, wide(l.caption).c_str(), style, plan[i].place.left, plan[i].place.top,
                                 plan[i].place.width, plan[i].place.height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(i))), instance, nullptr);
        // Raised over the earlier controls it meets (the COM frame over the COM button), only then.
        if (plan[i].covers) SetWindowPos(c.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        m_byName.emplace(std::string(l.name), i);
        m_byWindow.emplace(c.hwnd, i);
        if (l.kind == Kind::Button || l.kind == Kind::Option)
            SetWindowSubclass(c.hwnd, buttonProc, 1, reinterpret_cast<DWORD_PTR>(this));
        if (l.kind == Kind::TextBox) {
            SendMessageW(c.hwnd, EM_SETLIMITTEXT, 0, 0); // no length limit
            SetWindowSubclass(c.hwnd, boxProc, 1, reinterpret_cast<DWORD_PTR>(this));
        }
        if (l.kind == Kind::Option && l.marked) SendMessageW(c.hwnd, BM_SETCHECK, BST_CHECKED, 0);
        setFont(c);
    }
}

void Win32Window::place(Control& c, const PlannedControl& planned) {
    const Box& b = planned.place;
    SetWindowPos(c.hwnd, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
    setFont(c);
}

void Win32Window::setFont(Control& c) {
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fonts.font(c.layout->font, m_dpi)), FALSE);
}

void Win32Window::show() {
    ShowWindow(m_window, SW_SHOW);
    UpdateWindow(m_window);
    if (HWND first = control(ctl::PowerOn)) SetFocus(first);
}

HWND Win32Window::control(std::string_view name) const {
    const Control* c = find(name);
    return c ? c->hwnd : nullptr;
}

Win32Window::Control* Win32Window::find(std::string_view name) {
    auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : &m_controls[it->second];
}

const Win32Window::Control* Win32Window::find(std::string_view name) const {
    auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : &m_controls[it->second];
}

Win32Window::Control* Win32Window::find(HWND hwnd) {
    auto it = m_byWindow.find(hwnd);
    return it == m_byWindow.end() ? nullptr : &m_controls[it->second];
}

void Win32Window::applyHeight() {
    // The outer height: the frame and title bar come off the client area, as twips intend.
    const SIZE laidOut = outerSize(px(kClientWidth), 0);
    SetWindowPos(m_window, nullptr, 0, 0, laidOut.cx, px(m_rules.height()), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::runLater() {
    if (m_later.empty()) return;
    auto f = std::move(m_later.front());
    m_later.pop_front();
    f();
}

void Win32Window::showUp(const std::string& held) {
    if (Control* c = find(held)) {
        c->down = false;
        if (GetCapture() == c->hwnd) ReleaseCapture();
        SendMessageW(c->hwnd, BM_SETSTATE, FALSE, 0);
    }
}

void Win32Window::end() {
    m_ended = true;
    DestroyWindow(m_window);
}

HBRUSH Win32Window::brush(Rgb colour) {
    if (colour == kPlatformColour) return GetSysColorBrush(COLOR_BTNFACE);
    HBRUSH& b = m_brushes[colour];
    if (!b) b = CreateSolidBrush(ref(colour));
    return b;
}

Win32Window* Win32Window::of(HWND hwnd) {
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
}

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window = hwnd;
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    return self->handle(msg, wp, lp);
}

LRESULT Win32Window::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (lp) command(reinterpret_cast<HWND>(lp), HIWORD(wp));
        return 0;
    case WM_DRAWITEM: draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return colour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_window, &ps);
        paintOutline(dc);
        EndPaint(m_window, &ps);
        return 0;
    }
    case WM_ACTIVATE:
        // The focus comes back to where it was when the window is active again.
        if (LOWORD(wp) == WA_INACTIVE) m_lastFocus = GetFocus();
        else if (m_lastFocus && IsWindow(m_lastFocus)) SetFocus(m_lastFocus);
        return 0;
    case WM_DPICHANGED: dpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp)); return 0;
    case kLater: runLater(); return 0;
    case WM_DESTROY:
        m_window = nullptr;
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcW(m_window, msg, wp, lp);
    }
}

void Win32Window::command(HWND child, WORD code) {
    Control* c = find(child);
    if (!c || c->held) return;
    // A quick second click is a click as well.
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return;
    // An option is marked as it is clicked, and its handler runs also when it was marked already.
    if (c->layout->kind == Kind::Option) setMarked(c->layout->name, true);
    m_rules.input().click(std::string(c->layout->name));
}

LRESULT Win32Window::colour(HDC dc, HWND child) {
    const Control* c = find(child);
    const Rgb back = c ? c->layout->back : kWindowBack;
    SetTextColor(dc, ref(c ? c->layout->fore : kBlack));
    SetBkColor(dc, back == kPlatformColour ? GetSysColor(COLOR_BTNFACE) : ref(back));
    return reinterpret_cast<LRESULT>(brush(back));
}

void Win32Window::dpiChanged(int dpi, const RECT& suggested) {
    m_dpi = dpi;
    m_fonts.clear();
    const std::vector<PlannedControl> plan = planControls(m_dpi);
    for (std::size_t i = 0; i < m_controls.size(); ++i) place(m_controls[i], plan[i]);
    SetWindowPos(m_window, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    applyHeight();
    InvalidateRect(m_window, nullptr, TRUE);
}

} // namespace tova::win32
