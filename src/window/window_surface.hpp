// SPDX-License-Identifier: MIT
#pragma once
// The window as the handlers see it, the same for both windows: what they set is kept here and
// read back as they set it (a caption, the outer height in twips), the operator's input goes
// through the window's rules, the warning box opens as its rule says, and END lets no event
// reach the handlers again. A window gives a table of what only it can do (show a caption, hide
// a control, mark an option, move itself, draw a box), as each platform of a portable program
// fills in the same table of functions.
#include "core/window.hpp"
#include "window/warnings.hpp"
#include "window/window_input.hpp"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace tova {

struct WindowHooks {
    // A control's caption shown; shown or hidden; an option marked; a text box's text; a tip.
    std::function<void(std::string_view control, const std::string& caption)> showCaption;
    std::function<void(std::string_view control, bool visible)> setVisible;
    std::function<bool(std::string_view control)> isVisible;
    std::function<void(std::string_view option, bool marked)> setMarked;
    std::function<bool(std::string_view option)> isMarked;
    std::function<std::string(std::string_view textBox)> text;
    std::function<void(std::string_view textBox, const std::string& text)> setText;
    std::function<void(std::string_view control, const std::string& tip)> setToolTip;
    // The frame, in twips: the outer height applied, the outer width, the place, the screen.
    std::function<void(int twips)> applyHeight;
    std::function<int()> outerWidth;
    std::function<void(double left, double top)> moveTo;
    std::function<ScreenSize()> screen;
    Warnings::Platform box;
    // The context menu at the pointer, opened now; chosen(entry) once one is clicked.
    std::function<void(const std::vector<MenuEntry>& menu, std::function<void(const MenuEntry&)> chosen)> showMenu;
    // A line of text asked for (title, prompt, initial text); answered once the box is closed.
    std::function<void(const std::string& title, const std::string& prompt, const std::string& initial,
                       std::function<void(std::optional<std::string>)> answered)>
        askText;
    std::function<void()> close; // the window unloaded and the program ended
};

class WindowSurface final : public Window {
  public:
    // outerHeight: the window's outer height as laid out, in twips.
    WindowSurface(int outerHeight, WindowHooks hooks);

    WindowInput& input() { return m_input; }
    // The outer height the window has as it was created, its frame counted (twips): known once
    // the platform has framed it, and not applied again.
    void laidOut(int twips) { m_outerHeight = twips; }
    const WindowHooks& hooks() const { return m_hooks; }

    std::string caption(std::string_view control) const override;
    void setCaption(std::string_view control, const std::string& text) override;
    bool visible(std::string_view control) const override { return m_hooks.isVisible(control); }
    void setVisible(std::string_view control, bool on) override { m_hooks.setVisible(control, on); }
    void setMarked(std::string_view option, bool on) override { m_hooks.setMarked(option, on); }
    bool marked(std::string_view option) const override { return m_hooks.isMarked(option); }
    std::string text(std::string_view textBox) const override { return m_hooks.text(textBox); }
    void setText(std::string_view textBox, const std::string& t) override { m_hooks.setText(textBox, t); }
    void setToolTip(std::string_view control, const std::string& tip) override { m_hooks.setToolTip(control, tip); }
    int height() const override { return m_outerHeight; }
    void setHeight(int twips) override;
    int width() const override { return m_hooks.outerWidth(); }
    void move(double left, double top) override { m_hooks.moveTo(left, top); }
    ScreenSize screenSize() const override { return m_hooks.screen(); }
    void showWarning(const std::string& text, std::function<void()> onClosed) override;
    void askYesNo(const std::string& text, std::function<void(bool yes)> answered) override;
    void showMenu(std::vector<MenuEntry> menu) override;
    void askText(const std::string& prompt, const std::string& initial,
                 std::function<void(std::optional<std::string> text)> answered) override;
    void end() override;

  private:
    WindowHooks m_hooks;
    WindowInput m_input;
    Warnings m_warnings;
    std::map<std::string, std::string, std::less<>> m_captions; // as the handlers set them
    int m_outerHeight;
};

} // namespace tova
