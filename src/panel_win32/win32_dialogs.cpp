// SPDX-License-Identifier: MIT
#include "panel_win32/win32_dialogs.hpp"

#include "win32/text.hpp"

#include <cstdint>

namespace tova::win32 {

bool openBox(HWND owner, const std::string& title, const std::string& text, bool question) {
    const UINT kind = (question ? MB_YESNO : MB_OK) | MB_ICONEXCLAMATION;
    return MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), kind) == IDYES;
}

namespace {

void fill(HMENU menu, const std::vector<MenuEntry>& entries, std::vector<const MenuEntry*>& byId) {
    for (const MenuEntry& e : entries) {
        const std::wstring text = wide(e.text);
        if (!e.entries.empty()) {
            HMENU sub = CreatePopupMenu();
            fill(sub, e.entries, byId);
            AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), text.c_str());
            continue;
        }
        byId.push_back(&e);
        AppendMenuW(menu, MF_STRING | (e.checked ? MF_CHECKED : MF_UNCHECKED), byId.size(), text.c_str());
    }
}

} // namespace

const MenuEntry* popUpMenu(HWND owner, const std::vector<MenuEntry>& menu) {
    HMENU popup = CreatePopupMenu();
    std::vector<const MenuEntry*> byId; // an entry's id is its place here, from 1
    fill(popup, menu, byId);
    POINT at{};
    GetCursorPos(&at);
    const auto id = static_cast<std::size_t>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0, owner, nullptr));
    DestroyMenu(popup); // its submenus with it
    return id >= 1 && id <= byId.size() ? byId[id - 1] : nullptr;
}

namespace {

// A dialog template written out in memory: the system has no box that asks for a line of text.
class Template {
  public:
    void words(std::initializer_list<std::uint16_t> w) { m_words.insert(m_words.end(), w); }
    void dword(DWORD d) { words({LOWORD(d), HIWORD(d)}); }
    void text(const std::wstring& s) {
        for (wchar_t c : s) m_words.push_back(static_cast<std::uint16_t>(c));
        m_words.push_back(0);
    }
    void alignDword() {
        if (m_words.size() % 2) m_words.push_back(0);
    }
    // classAtom: 0x80 button, 0x81 edit, 0x82 static.
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, std::uint16_t classAtom, const std::wstring& title) {
        alignDword();
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        words({static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), static_cast<std::uint16_t>(cx),
               static_cast<std::uint16_t>(cy), id, 0xFFFF, classAtom});
        text(title);
        words({0}); // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

  private:
    std::vector<std::uint16_t> m_words;
};

struct Asked {
    std::wstring initial, typed;
};

constexpr WORD kEdit = 100;

INT_PTR CALLBACK askProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    auto* asked = reinterpret_cast<Asked*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lp);
        SetDlgItemTextW(dialog, kEdit, reinterpret_cast<Asked*>(lp)->initial.c_str());
        SendDlgItemMessageW(dialog, kEdit, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(dialog, kEdit));
        return FALSE; // the focus is set here
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            HWND edit = GetDlgItem(dialog, kEdit);
            std::wstring w(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
            w.resize(static_cast<std::size_t>(GetWindowTextW(edit, w.data(), static_cast<int>(w.size()))));
            asked->typed = w;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

} // namespace

std::optional<std::string> askLine(HWND owner, const std::string& title, const std::string& prompt,
                                   const std::string& initial) {
    Template t;
    t.dword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.dword(0);
    t.words({4, 0, 0, 260, 74}); // four items, in dialog units
    t.words({0, 0});              // no menu, the dialog class
    t.text(wide(title));
    t.words({9});
    t.text(L"MS Shell Dlg");
    t.item(SS_LEFT, 7, 7, 246, 18, 0xFFFF, 0x82, wide(prompt));
    t.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 28, 246, 14, kEdit, 0x81, L"");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 146, 52, 50, 14, IDOK, 0x80, L"OK");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 203, 52, 50, 14, IDCANCEL, 0x80, L"Cancel");
    Asked asked{wide(initial), {}};
    const INT_PTR result =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), owner, askProc, reinterpret_cast<LPARAM>(&asked));
    if (result != IDOK) return std::nullopt;
    return utf8(asked.typed);
}

} // namespace tova::win32
