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
    // Where each kind of input goes; handlersOf(form) sends all of it to the panel.
    struct Handlers {
        std::function<void(const std::string& control)> click{};
        std::function<bool(const std::string& control)> mouseDown{}; // false: nothing held by it
        std::function<void(const std::string& control)> mouseUp{};
        std::function<std::string()> releaseHeld{};                  // the held button let go, if any
        std::function<void()> pictureDoubleClick{};
        std::function<void(int key, int shift)> key{};               // the window's keys, shift state
    };
    static Handlers handlersOf(Form1& form);

    InputRouter(QWidget* window, const std::map<std::string, QWidget*, std::less<>>& controls, Handlers handlers);
    ~InputRouter() override;
    // Connects a control built later to its handler.
    void wire(const std::string& name, QWidget* w);
    // Releases a held button as its release would (before a warning box takes the pointer).
    void releaseHeld();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool keyPress(QObject* watched, QEvent* event);
    QWidget* m_window;
    const std::map<std::string, QWidget*, std::less<>>& m_controls;
    Handlers m_to;
};

} // namespace tova
