// SPDX-License-Identifier: MIT
#pragma once
// What the handlers do to the window. Controls are named by their control names.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tova {

struct ScreenSize {
    double width = 0; // twips
    double height = 0;
};

// An entry of a context menu: a submenu when it has entries of its own, else chosen when clicked.
struct MenuEntry {
    std::string text;
    std::vector<MenuEntry> entries{};
    bool checked = false;
    std::function<void()> chosen{};
};

class Window {
  public:
    virtual ~Window() = default;

    virtual std::string caption(std::string_view control) const = 0;
    virtual void setCaption(std::string_view control, const std::string& text) = 0;
    virtual bool visible(std::string_view control) const = 0;
    virtual void setVisible(std::string_view control, bool visible) = 0;
    // Marks an option (and unmarks the rest of its group); raises no click.
    virtual void setMarked(std::string_view option, bool marked) = 0;
    virtual bool marked(std::string_view option) const = 0;
    // The text box's text as typed, in UTF-8.
    virtual std::string text(std::string_view textBox) const = 0;
    virtual void setText(std::string_view textBox, const std::string& text) = 0;
    virtual void setToolTip(std::string_view control, const std::string& text) = 0;

    // The window's outer size and position, in twips.
    virtual int height() const = 0;
    virtual void setHeight(int twips) = 0;
    virtual int width() const = 0;
    virtual void move(double left, double top) = 0;
    virtual ScreenSize screenSize() const = 0;

    // Opens a warning box (exclamation icon, OK, no title of its own) after the running handler
    // has finished; onClosed runs once the operator has dismissed it. WarningBox decides when.
    virtual void showWarning(const std::string& text, std::function<void()> onClosed) = 0;
    // The same box with Yes and No: answered(true) on Yes, false on No or when it is closed.
    virtual void askYesNo(const std::string& text, std::function<void(bool yes)> answered) = 0;
    // A context menu at the pointer, after the running handler; the entry chosen runs once it has
    // closed, nothing when it is dismissed.
    virtual void showMenu(std::vector<MenuEntry> menu) = 0;
    // A line of text asked for (OK, Cancel), after the running handler: answered with the text,
    // or nullopt when cancelled.
    virtual void askText(const std::string& prompt, const std::string& initial,
                         std::function<void(std::optional<std::string> text)> answered) = 0;
    // Unload the window and end the program.
    virtual void end() = 0;
};

} // namespace tova
