// SPDX-License-Identifier: MIT
// A bare Win32 window with as many child controls as the panel's layout, each of its kind
// (buttons, options, labels, frames, text boxes), in the system's GUI font: what any Win32
// program of that size costs to appear under the same wine server. Its class is the panel's, so
// that the probe that times the panel finds it the same way.
#include "panel_win32/control_ids.hpp"
#include "tables/layout_table.hpp"

#include <windows.h>

namespace {

LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSW c{};
    c.lpfnWndProc = proc;
    c.hInstance = instance;
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = tova::win32::kPanelClass;
    RegisterClassW(&c);
    HWND window = CreateWindowExW(0, c.lpszClassName, L"bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                                  nullptr, nullptr, instance, nullptr);
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    int id = 100;
    for (const tova::LayoutControl& l : tova::layoutControls()) {
        const wchar_t* cls = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        switch (l.kind) {
        case tova::Kind::Button: cls = L"BUTTON"; style |= BS_PUSHBUTTON; break;
        case tova::Kind::Option: cls = L"BUTTON"; style |= BS_RADIOBUTTON; break;
        case tova::Kind::Frame: cls = L"BUTTON"; style |= BS_GROUPBOX; break;
        case tova::Kind::TextBox: cls = L"EDIT"; style |= ES_AUTOHSCROLL | WS_BORDER; break;
        default: break;
        }
        // Twips to pixels at 96 dots an inch: 15 twips a pixel.
        HWND child = CreateWindowExW(0, cls, L"B", style, l.left / 15, l.top / 15, l.width / 15, l.height / 15, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        SendMessageW(child, WM_SETFONT, font, FALSE);
    }
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return 0;
}
