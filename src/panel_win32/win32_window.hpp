// SPDX-License-Identifier: MIT
#pragma once
// The one window in native Win32: every control built from the layout table in one loop, and
// the Window the handlers drive. Buttons are owner-drawn in their colours; frames are small
// containers that pass their children's news up; the picture draws the pixels compiled in.
// Keys reach the panel before the focused control, as the message loop here delivers them.
#include "core/window.hpp"
#include "panel_win32/panel_fonts.hpp"
#include "tables/layout_table.hpp"
#include "window/control_plan.hpp"
#include "window/window_surface.hpp"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace tova::win32 {

class Win32Window {
  public:
    Win32Window();
    ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // The window as the handlers see it.
    WindowSurface& surface() { return m_rules; }
    // Where the controls' events go.
    void setInput(InputHandlers handlers) { m_rules.input().setHandlers(std::move(handlers)); }
    // Shows the window with the focus on POWER "ON".
    void show();
    // The message loop until END or the window is closed; the program's exit status.
    int run();
    HWND window() const { return m_window; }
    HWND control(std::string_view name) const;
    // Saves a PNG picture of the window's client area at that height (twips; 0: as it stands).
    bool saveScreenshot(const std::string& path, int heightTwips);

  private:
    static constexpr UINT kLater = WM_APP + 10; // runs what waits for the running handler's end
    struct Control {
        const LayoutControl* layout;
        HWND hwnd = nullptr;
        bool held = false;   // a held button: the pointer works it, never the keys
        bool down = false;   // a held button held down by the pointer
        std::string tip;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK pictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK buttonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK boxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    static Win32Window* of(HWND hwnd);
    WindowHooks hooks();
    void setMarked(std::string_view option, bool marked);
    void setToolTip(std::string_view control, const std::string& text);
    void end();

    void build();
    void place(Control& c, const PlannedControl& planned); // its geometry and font at the window's DPI
    void setFont(Control& c); // its font at the window's DPI
    void applyHeight();
    int px(int twips) const { return MulDiv(twips, m_dpi, 1440); }
    Control* find(std::string_view name);
    const Control* find(std::string_view name) const;
    Control* find(HWND hwnd);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT colour(HDC dc, HWND child);
    void command(HWND child, WORD code);
    void draw(const DRAWITEMSTRUCT& d);
    void paintOutline(HDC dc);
    void paintPicture(HWND hwnd);
    bool buttonKey(Control& c, UINT msg, WPARAM wp);
    bool buttonPointer(Control& c, UINT msg);
    ButtonFace face(Control& c);
    void showUp(const std::string& held); // a held button let go before a box takes the pointer
    void runLater();
    void dpiChanged(int dpi, const RECT& suggested);
    bool preview(MSG& msg);          // the window's look at a key before the focused control
    void moveFocus(int step);
    HBRUSH brush(Rgb colour);
    SIZE outerSize(int clientWidth, int clientHeight) const;

    HWND m_window = nullptr;
    HWND m_tips = nullptr;
    WindowSurface m_rules;
    int m_dpi = 96;
    std::vector<Control> m_controls; // in layout order
    std::map<std::string, std::size_t, std::less<>> m_byName;
    std::map<HWND, std::size_t> m_byWindow;
    std::map<Rgb, HBRUSH> m_brushes;
    PanelFonts m_fonts;
    std::deque<std::function<void()>> m_later; // to run after the handler running now
    HWND m_lastFocus = nullptr;
    bool m_ended = false;
};

} // namespace tova::win32
