// SPDX-License-Identifier: MIT
#pragma once
// Routes the operator's input to the handlers: clicks and option clicks by control name, the
// press and release of held buttons, the double-click on the picture, and every key to the
// window before the focused control sees it. One application-wide filter sees each event once.
#include <QObject>

#include <functional>
#include <map>
#include <string>

class QWidget;

namespace tova {

class Form1;

class InputRouter : public QObject {
    Q_OBJECT
  public:
    InputRouter(QWidget* window, Form1& form, const std::map<std::string, QWidget*, std::less<>>& controls);
    ~InputRouter() override;
    // Connects a control built later to its handler.
    void wire(const std::string& name, QWidget* w);
    // Releases a held button as its release would (before a warning box takes the pointer).
    void releaseHeld();
    // Where the window's keys go: the panel's key handler, with its shift state.
    std::function<void(int key, int shift)> onKey;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool keyPress(QObject* watched, QEvent* event);
    QWidget* m_window;
    Form1& m_form;
    const std::map<std::string, QWidget*, std::less<>>& m_controls;
};

} // namespace tova
