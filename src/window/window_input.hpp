// SPDX-License-Identifier: MIT
#pragma once
// The operator's input as both windows deliver it, and the rules it follows on its way to the
// handlers: a click by control name; a held button goes down under any pointer button, one at a
// time, and up at its release or when the pointer is taken from it; a key on a button (the
// space bar shows it down and clicks at its release, Enter clicks at once, a key held is one
// press, a held button ignores the keys); every key reaches the window first with its shift
// state; a held button is let go before a warning box takes the pointer. Each window only
// finds its controls, shows a button down or up and delivers its events.
#include "window/button_keys.hpp"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace tova {

class Panel;

// Where each kind of input goes; handlersOf(panel) sends all of it to the panel.
struct InputHandlers {
    std::function<void(const std::string& control)> click{};
    std::function<bool(const std::string& control)> mouseDown{}; // false: nothing held by it
    std::function<void(const std::string& control)> mouseUp{};
    std::function<std::string()> releaseHeld{};                  // the held button let go, if any
    std::function<void()> pictureDoubleClick{};
    std::function<void(int key, int shift)> key{};               // the window's keys, shift state
    std::function<void(const std::string& control)> contextMenu{}; // the right button's click, or the menu key
};
InputHandlers handlersOf(Panel& panel);

// A button as its window shows it; stillHeld: the key's last release was an auto-repeat's, and
// the let-go the window awaits for it is off.
struct ButtonFace {
    std::function<bool()> isDown;
    std::function<void(bool down)> setDown;
    std::function<void()> stillHeld{};
};

class WindowInput {
  public:
    // What a window does with a key on a button: its own handling, or none at all.
    enum class Key { Taken, Pass, Drop };

    explicit WindowInput(InputHandlers handlers = {}) : m_to(std::move(handlers)) {}
    void setHandlers(InputHandlers handlers) { m_to = std::move(handlers); }

    void click(const std::string& control) const;
    void pictureDoubleClick() const;
    void contextMenu(const std::string& control) const;
    // A key on the window, before the focused control sees it.
    void windowKey(int key, bool shift, bool ctrl, bool alt) const;

    // A pointer button on a held button: true when it is held now (shown down).
    bool pointerDown(const std::string& control, const ButtonFace& face) const;
    // Released, or the pointer taken from it: the hold ends.
    void pointerUp(const std::string& control, const ButtonFace& face) const;

    // A key pressed or released on a button. afterRelease is called when the key's release
    // must stand a moment before it counts (an auto-repeat the system does not flag may follow):
    // the window calls keyLetGo then.
    Key keyDown(const std::string& control, ButtonKeys::Key key, bool held, const ButtonFace& face);
    Key keyUp(const std::string& control, ButtonKeys::Key key, bool held, bool autoRepeat,
              const std::function<void()>& afterRelease);
    void keyLetGo(const std::string& control, const ButtonFace& face);
    // The focus left the button: a key that leaves with it activates nothing.
    void focusLost(const std::string& control) { m_keys[control].focusLost(); }

    // Before a warning box takes the pointer: the held button let go, as its release would;
    // its name, for the window to show it up.
    std::string letGoHeld() const { return m_to.releaseHeld ? m_to.releaseHeld() : std::string(); }

  private:
    InputHandlers m_to;
    std::map<std::string, ButtonKeys, std::less<>> m_keys; // each button's keys
};

} // namespace tova
