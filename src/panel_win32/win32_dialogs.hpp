// SPDX-License-Identifier: MIT
#pragma once
// The boxes and the menu the handlers open, drawn by Win32: each modal, answered through its
// callback once closed.
#include "core/window.hpp"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tova::win32 {

// The warning box (OK), or with Yes and No; true for Yes.
bool openBox(HWND owner, const std::string& title, const std::string& text, bool question);
// The context menu at the pointer; the entry clicked, or none.
const MenuEntry* popUpMenu(HWND owner, const std::vector<MenuEntry>& menu);
// A line of text asked for (OK, Cancel); nullopt when cancelled.
std::optional<std::string> askLine(HWND owner, const std::string& title, const std::string& prompt,
                                   const std::string& initial);

} // namespace tova::win32
