// SPDX-License-Identifier: MIT
// What only the Win32 window can do for the handlers: show a caption, hide a control, mark an
// option, read and set the text box, a tooltip, its frame, the warning box, its end.
#include "panel_win32/win32_window.hpp"

#include "panel_win32/win32_dialogs.hpp"
#include "win32/text.hpp"

#include <commctrl.h>

namespace tova::win32 {

WindowHooks Win32Window::hooks() {
    WindowHooks h;
    h.showCaption = [this](std::string_view name, const std::string& text) {
        const Control* c = find(name);
        if (!c) return;
        SetWindowTextW(c->hwnd, wide(text).c_str());
        if (c->layout->kind == Kind::Button) InvalidateRect(c->hwnd, nullptr, FALSE);
    };
    h.setVisible = [this](std::string_view name, bool on) {
        if (const Control* c = find(name)) ShowWindow(c->hwnd, on ? SW_SHOWNA : SW_HIDE);
    };
    h.isVisible = [this](std::string_view name) {
        const Control* c = find(name);
        return c && (GetWindowLongW(c->hwnd, GWL_STYLE) & WS_VISIBLE);
    };
    h.setMarked = [this](std::string_view name, bool on) { setMarked(name, on); };
    h.isMarked = [this](std::string_view name) {
        const Control* c = find(name);
        return c && SendMessageW(c->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
    h.text = [this](std::string_view name) {
        const Control* c = find(name);
        if (!c) return std::string();
        std::wstring w(static_cast<std::size_t>(GetWindowTextLengthW(c->hwnd)) + 1, L'\0');
        w.resize(static_cast<std::size_t>(GetWindowTextW(c->hwnd, w.data(), static_cast<int>(w.size()))));
        return utf8(w);
    };
    h.setText = [this](std::string_view name, const std::string& text) {
        if (const Control* c = find(name)) SetWindowTextW(c->hwnd, wide(text).c_str());
    };
    h.setToolTip = [this](std::string_view name, const std::string& text) { setToolTip(name, text); };
    h.applyHeight = [this](int) { applyHeight(); };
    h.outerWidth = [this] { return MulDiv(outerSize(px(kClientWidth), 0).cx, 1440, m_dpi); };
    h.moveTo = [this](double left, double top) {
        SetWindowPos(m_window, nullptr, MulDiv(static_cast<int>(left), m_dpi, 1440), MulDiv(static_cast<int>(top), m_dpi, 1440), 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    h.screen = [this] {
        return ScreenSize{double(MulDiv(GetSystemMetrics(SM_CXSCREEN), 1440, m_dpi)),
                          double(MulDiv(GetSystemMetrics(SM_CYSCREEN), 1440, m_dpi))};
    };
    h.box = {[this](std::function<void()> f) {
                 m_later.push_back(std::move(f));
                 PostMessageW(m_window, kLater, 0, 0);
             },
             [this](const std::string& held) { showUp(held); },
             [this](const std::string& title, const std::string& text, bool question, std::function<void(bool)> closed) {
                 const bool yes = openBox(m_window, title, text, question);
                 if (closed) closed(yes);
             }};
    h.showMenu = [this](const std::vector<MenuEntry>& menu, std::function<void(const MenuEntry&)> chosen) {
        if (const MenuEntry* e = popUpMenu(m_window, menu)) chosen(*e);
    };
    h.askText = [this](const std::string& title, const std::string& prompt, const std::string& initial,
                       std::function<void(std::optional<std::string>)> answered) {
        answered(askLine(m_window, title, prompt, initial));
    };
    h.close = [this] { end(); };
    return h;
}

void Win32Window::setMarked(std::string_view name, bool on) {
    const Control* option = find(name);
    if (!option || option->layout->kind != Kind::Option) return;
    // Marking one unmarks the others of its container; a click is raised by no one here.
    if (on)
        for (const Control& c : m_controls)
            if (c.layout->kind == Kind::Option && c.layout->container == option->layout->container)
                SendMessageW(c.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(option->hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Window::setToolTip(std::string_view name, const std::string& text) {
    Control* c = find(name);
    if (!c) return;
    std::wstring w = wide(text);
    TTTOOLINFOW t{};
    t.cbSize = sizeof t;
    t.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    t.hwnd = m_window;
    t.uId = reinterpret_cast<UINT_PTR>(c->hwnd);
    t.lpszText = w.data();
    SendMessageW(m_tips, c->tip.empty() ? TTM_ADDTOOLW : TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&t));
    c->tip = text;
}

} // namespace tova::win32
