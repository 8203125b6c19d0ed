// SPDX-License-Identifier: MIT
#include "window/window_surface.hpp"

#include "tables/layout_table.hpp"

namespace tova {

WindowSurface::WindowSurface(int outerHeight, WindowHooks hooks)
    : m_hooks(std::move(hooks)), m_warnings(m_input, m_hooks.box), m_outerHeight(outerHeight) {
    for (const LayoutControl& c : layoutControls()) m_captions.emplace(std::string(c.name), std::string(c.caption));
}

std::string WindowSurface::caption(std::string_view control) const {
    const auto it = m_captions.find(control);
    return it == m_captions.end() ? std::string() : it->second;
}

void WindowSurface::setCaption(std::string_view control, const std::string& text) {
    const auto it = m_captions.find(control);
    if (it == m_captions.end()) return m_hooks.showCaption(control, text); // no such control: the window says so
    it->second = text;
    m_hooks.showCaption(control, text);
}

void WindowSurface::setHeight(int twips) {
    m_outerHeight = twips;
    m_hooks.applyHeight(twips);
}

void WindowSurface::showWarning(const std::string& text, std::function<void()> onClosed) {
    m_warnings.show(text, false, [onClosed = std::move(onClosed)](bool) {
        if (onClosed) onClosed();
    });
}

void WindowSurface::askYesNo(const std::string& text, std::function<void(bool yes)> answered) {
    m_warnings.show(text, true, std::move(answered));
}

// Menus and the text box open after the running handler, as the warning box does: a handler
// never runs inside another.
void WindowSurface::showMenu(std::vector<MenuEntry> menu) {
    m_hooks.box.later([this, menu = std::move(menu)] {
        m_hooks.showMenu(menu, [this](const MenuEntry& e) {
            if (e.chosen) m_hooks.box.later(e.chosen);
        });
    });
}

void WindowSurface::askText(const std::string& prompt, const std::string& initial,
                            std::function<void(std::optional<std::string> text)> answered) {
    m_hooks.box.later([this, prompt, initial, answered = std::move(answered)] {
        m_hooks.askText(std::string(kProgramTitle), prompt, initial, answered);
    });
}

void WindowSurface::end() {
    m_input.setHandlers({}); // no event reaches the handlers after END
    m_hooks.close();
}

} // namespace tova
