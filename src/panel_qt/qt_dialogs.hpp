// SPDX-License-Identifier: MIT
#pragma once
// The boxes and the menu the handlers open, drawn by Qt: each opened without a loop of its own
// and answered through its callback once closed.
#include "core/window.hpp"

#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tova {

// The warning box (OK), or with Yes and No; closed(true) on Yes.
void openBox(QWidget* parent, const std::string& title, const std::string& text, bool question,
             std::function<void(bool yes)> closed);
// The context menu at the pointer; chosen with the entry clicked.
void popUpMenu(QWidget* parent, const std::vector<MenuEntry>& menu, std::function<void(const MenuEntry&)> chosen);
// A line of text asked for; answered with it, or nullopt when cancelled.
void askLine(QWidget* parent, const std::string& title, const std::string& prompt, const std::string& initial,
             std::function<void(std::optional<std::string>)> answered);

} // namespace tova
