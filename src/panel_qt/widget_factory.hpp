// SPDX-License-Identifier: MIT
#pragma once
// Builds every control of the layout table on the window's surface, in one loop.
#include <QFont>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace tova {

using Controls = std::map<std::string, QWidget*, std::less<>>;

// Which controls are built when: the service view's free-text command box (its frame and what
// it holds) only once the window has been painted, since a text box starts the font machinery.
enum class Stage { BeforeShow, AfterFirstPaint };
Stage stageOf(std::string_view name);

// Builds the controls of that stage on the window's surface, each with its geometry, caption,
// font and colours, adds them to controls, and sets the tab order of all built so far.
void buildControls(QWidget* surface, Controls& controls, Stage stage);

// The window's font, which controls in the window's own font inherit.
QFont windowFont();

// A caption as a button shows it: "&" is a character, not a mnemonic.
QString buttonText(std::string_view caption);

QString qs(std::string_view s);

} // namespace tova
