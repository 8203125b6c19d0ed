// SPDX-License-Identifier: MIT
#pragma once
// Builds every control of the layout table on the window's surface, in one loop.
#include <QString>
#include <QWidget>

#include <map>
#include <string>
#include <string_view>

namespace tova {

// The controls by name, each with its geometry, caption, font, colours and place in the tab order.
std::map<std::string, QWidget*, std::less<>> buildControls(QWidget* surface);

// A caption as a button shows it: "&" is a character, not a mnemonic.
QString buttonText(std::string_view caption);

QString qs(std::string_view s);

} // namespace tova
