// SPDX-License-Identifier: MIT
// The tests' eyes and hands on the Windows panel, run beside it in the same wine prefix: it
// finds the window by its class and reads every control back (name, class, text, state, place),
// presses a control by name, and reads or dismisses the warning box.
//   tova-probe window             caption, then the outer and client rectangles on the screen
//   tova-probe wait               prints "ready", then, once a panel window is shown and answers,
//                                 the time it did in milliseconds since 1970 (a start-up's end,
//                                 seen without a probe's own start-up in it; 30 s at most)
//   tova-probe list               a line per control: name, class, visible, checked, x y w h, text
//   tova-probe click NAME         presses the control as a click would
//   tova-probe set NAME TEXT      types the text into the command box
//   tova-probe box                the warning box's text, if one is open
//   tova-probe dismiss            presses the warning box's OK
//   tova-probe captions           every caption against the layout table: mismatches, then a count
//   tova-probe expect             points of the client area and the colour each must show: the
//                                 picture's pixels and coloured buttons, from the tables
// Exit status 0 when it did what it was asked, 1 when the window (or box) is not there.
#include "panel_win32/control_ids.hpp"
#include "tables/picture.hpp"
#include "win32/text.hpp"

#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

using namespace tova;
using namespace tova::win32;

namespace {

HWND panel() { return FindWindowW(kPanelClass, nullptr); }

std::wstring textOf(HWND h) {
    std::wstring w(512, L'\0');
    // Asked with a time-out: a window that does not answer fails the check, not the probe.
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXT, w.size(), reinterpret_cast<LPARAM>(w.data()), SMTO_ABORTIFHUNG, 2000, &n))
        return L"";
    w.resize(n);
    return w;
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(
        parent, [](HWND h, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND control(HWND window, std::string_view name) {
    for (HWND h : children(window))
        if (const LayoutControl* c = controlOfId(GetDlgCtrlID(h)); c && c->name == name) return h;
    return nullptr;
}

// The warning box: a dialog of the panel's own.
HWND box(HWND window) {
    struct Find {
        HWND owner, found = nullptr;
    } f{window};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            wchar_t cls[64];
            GetClassNameW(h, cls, 64);
            if (std::wstring(cls) == L"#32770" && GetWindow(h, GW_OWNER) == f->owner && IsWindowVisible(h)) {
                f->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

void print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

// The window shown and answering its messages: what an operator can use.
bool standing(HWND window) {
    DWORD_PTR n = 0;
    return window && IsWindowVisible(window) &&
           SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &n);
}

int waitForPanel() {
    print("ready");
    std::fflush(stdout);
    // Looked for every 5 ms: more often would take the wine server from the program it times.
    for (int i = 0; i < 6000; ++i) {
        if (standing(panel())) {
            FILETIME now;
            GetSystemTimePreciseAsFileTime(&now);
            const ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
            constexpr unsigned long long kUnixEpoch = 116444736000000000ULL; // 1970 in 100 ns since 1601
            std::printf("%llu\n", (t.QuadPart - kUnixEpoch) / 10000);
            return 0;
        }
        Sleep(5);
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "wait") return waitForPanel();
    const HWND window = panel();
    if (!window) {
        std::fprintf(stderr, "tova-probe: no panel window\n");
        return 1;
    }
    if (verb == "window") {
        RECT outer, client;
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        POINT at{0, 0};
        ClientToScreen(window, &at);
        print(utf8(textOf(window)));
        std::printf("%ld %ld %ld %ld\n%ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left,
                    outer.bottom - outer.top, at.x, at.y, client.right, client.bottom);
        return 0;
    }
    if (verb == "list" || verb == "captions") {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        int checked = 0, wrong = 0;
        for (HWND h : children(window)) {
            const LayoutControl* c = controlOfId(GetDlgCtrlID(h));
            if (!c) continue;
            wchar_t cls[64];
            GetClassNameW(h, cls, 64);
            const std::string text = utf8(textOf(h));
            if (verb == "captions") {
                if (c->kind == Kind::Button || c->kind == Kind::Option || (c->kind == Kind::Label && !c->caption.empty())) {
                    ++checked;
                    if (text != c->caption) {
                        ++wrong;
                        print(std::string(c->name) + " shows \"" + text + "\", not \"" + std::string(c->caption) + "\"");
                    }
                }
                continue;
            }
            RECT r;
            GetWindowRect(h, &r);
            const bool option = c->kind == Kind::Option;
            char head[200];
            std::snprintf(head, sizeof head, "%s\t%s\t%d\t%d\t%ld %ld %ld %ld\t", std::string(c->name).c_str(),
                          utf8(cls).c_str(), IsWindowVisible(h) ? 1 : 0,
                          option && SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0, r.left - origin.x,
                          r.top - origin.y, r.right - r.left, r.bottom - r.top);
            print(head + text);
        }
        if (verb == "captions") std::printf("%d captions, %d wrong\n", checked, wrong);
        return wrong == 0 ? 0 : 1;
    }
    if (verb == "expect") {
        // Unscaled at 96 dpi: twips / 15 are pixels.
        const PicturePixels& p = picturePixels();
        const LayoutControl* image = findLayoutControl("Image1");
        for (auto [x, y] : {std::pair{1, 1}, std::pair{40, 13}, std::pair{78, 24}})
            std::printf("%d %d %06X picture\n", image->left / kTwipsPerPixel + x, image->top / kTwipsPerPixel + y,
                        static_cast<unsigned>(p.rgb[static_cast<std::size_t>(y * p.width + x)]));
        for (const char* name : {"Command17", "Command18", "Command6", "Command5", "Command56"}) {
            const LayoutControl* c = findLayoutControl(name);
            int x = c->left / kTwipsPerPixel + 4, y = c->top / kTwipsPerPixel + 4; // inside its edge, clear of the caption
            for (const LayoutControl* in = findLayoutControl(c->container); in; in = findLayoutControl(in->container)) {
                x += in->left / kTwipsPerPixel;
                y += in->top / kTwipsPerPixel;
            }
            std::printf("%d %d %06X %s\n", x, y, static_cast<unsigned>(c->back), name);
        }
        return 0;
    }
    if ((verb == "click" || verb == "set") && argc > 2) {
        const HWND h = control(window, argv[2]);
        if (!h) {
            std::fprintf(stderr, "tova-probe: no control %s\n", argv[2]);
            return 1;
        }
        if (verb == "set") SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(argc > 3 ? argv[3] : "").c_str()));
        else PostMessageW(h, BM_CLICK, 0, 0);
        return 0;
    }
    if (verb == "box" || verb == "dismiss") {
        const HWND b = box(window);
        if (!b) return 1;
        if (verb == "dismiss") {
            PostMessageW(b, WM_COMMAND, IDOK, 0);
            return 0;
        }
        print(utf8(textOf(b))); // its title
        for (HWND h : children(b)) {
            wchar_t cls[64];
            GetClassNameW(h, cls, 64);
            const std::string text = utf8(textOf(h));
            if (std::wstring(cls) == L"Static" && !text.empty()) print(text);
        }
        return 0;
    }
    std::fprintf(stderr, "tova-probe: window | wait | list | captions | expect | click NAME | set NAME TEXT | box | dismiss\n");
    return 64;
}
