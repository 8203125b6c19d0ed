// SPDX-License-Identifier: MIT
#pragma once
// Delivers the operator's input with Qt to the window's rules: clicks and option clicks by
// control name, the pointer on held buttons, the double-click on the picture, and every key to
// the window before the focused control sees it. One application-wide filter sees each event
// once.
#include "window/window_input.hpp"

#include <QObject>

#include <map>
#include <string>

class QWidget;

namespace tova {

class InputRouter : public QObject {
    Q_OBJECT
  public:
    InputRouter(QWidget* window, const std::map<std::string, QWidget*, std::less<>>& controls, WindowInput& input);
    ~InputRouter() override;
    // Connects a control built later.
    void wire(const std::string& name, QWidget* w);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool keyPress(QObject* watched, QEvent* event);
    QWidget* m_window;
    WindowInput& m_input;
};

} // namespace tova
