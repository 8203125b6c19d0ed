// SPDX-License-Identifier: MIT
#pragma once
// The window as the handlers see it, kept in memory: captions, options, boxes, menus and the
// text box, answered by the test as an operator would.
#include "core/window.hpp"
#include "tables/layout_table.hpp"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tova::test {

// A misspelt control name fails the test that uses it.
inline const LayoutControl& known(std::string_view name) {
    const LayoutControl* c = findLayoutControl(name);
    if (!c) throw std::logic_error("unknown control name \"" + std::string(name) + "\"");
    return *c;
}

class FakeWindow : public Window {
  public:
    std::map<std::string, std::string, std::less<>> captions;
    std::set<std::string, std::less<>> hidden;
    std::set<std::string, std::less<>> markedOptions;
    std::map<std::string, std::string, std::less<>> texts, tips;
    std::vector<std::string> warnings; // every box shown
    std::vector<std::function<void()>> pendingDismiss;
    int outerHeight = 8730;
    double left = -1, top = -1;
    bool ended = false;

    // The window as created from the layout.
    FakeWindow() {
        for (const auto& c : layoutControls()) {
            captions.emplace(std::string(c.name), std::string(c.caption));
            if (!c.visible) hidden.insert(std::string(c.name));
            if (c.marked) markedOptions.insert(std::string(c.name));
        }
    }

    std::string caption(std::string_view c) const override {
        known(c);
        auto it = captions.find(c);
        return it == captions.end() ? std::string() : it->second;
    }
    void setCaption(std::string_view c, const std::string& t) override {
        captions.insert_or_assign(std::string(known(c).name), t);
    }
    bool visible(std::string_view c) const override { return !hidden.contains(known(c).name); }
    void setVisible(std::string_view c, bool on) override {
        known(c);
        if (!on) hidden.insert(std::string(c));
        else if (auto it = hidden.find(c); it != hidden.end()) hidden.erase(it);
    }
    // Options exclude the others of their container, as on the window.
    void setMarked(std::string_view o, bool on) override {
        const LayoutControl& option = known(o);
        if (on)
            for (const auto& c : layoutControls())
                if (c.kind == Kind::Option && c.container == option.container)
                    markedOptions.erase(std::string(c.name));
        if (on) markedOptions.insert(std::string(o));
        else if (auto it = markedOptions.find(o); it != markedOptions.end()) markedOptions.erase(it);
    }
    bool marked(std::string_view o) const override { return markedOptions.contains(known(o).name); }
    std::string text(std::string_view b) const override {
        auto it = texts.find(known(b).name);
        return it == texts.end() ? std::string() : it->second;
    }
    void setText(std::string_view b, const std::string& t) override {
        texts.insert_or_assign(std::string(known(b).name), t);
    }
    void setToolTip(std::string_view c, const std::string& t) override {
        tips.insert_or_assign(std::string(known(c).name), t);
    }
    int height() const override { return outerHeight; }
    void setHeight(int t) override { outerHeight = t; }
    int width() const override { return 9495; }
    void move(double l, double t) override { left = l, top = t; }
    ScreenSize screenSize() const override { return {28800, 16200}; }
    void showWarning(const std::string& text, std::function<void()> onClosed) override {
        warnings.push_back(text);
        pendingDismiss.push_back(std::move(onClosed));
    }
    void askYesNo(const std::string& text, std::function<void(bool)> answered) override {
        warnings.push_back(text);
        pendingAnswer.push_back(std::move(answered));
    }
    void showMenu(std::vector<MenuEntry> m) override { menu = std::move(m); }
    void askText(const std::string& p, const std::string& initial,
                 std::function<void(std::optional<std::string>)> answered) override {
        prompt = p;
        promptInitial = initial;
        pendingText = std::move(answered);
    }
    std::vector<std::function<void(bool)>> pendingAnswer;
    std::vector<MenuEntry> menu; // the last context menu shown
    std::string prompt, promptInitial;
    std::function<void(std::optional<std::string>)> pendingText;

    // The operator closes the warning box (No, for a question).
    void dismiss() {
        auto p = std::exchange(pendingDismiss, {});
        for (auto& f : p) f();
        for (auto& f : std::exchange(pendingAnswer, {})) f(false);
    }
    // The operator answers the question box.
    void answer(bool yes) {
        for (auto& f : std::exchange(pendingAnswer, {})) f(yes);
    }
    // The operator clicks an entry of the last menu: by the texts along its way.
    bool choose(std::vector<std::string> path) {
        const std::vector<MenuEntry>* level = &menu;
        for (std::size_t i = 0; i < path.size(); ++i) {
            auto it = std::find_if(level->begin(), level->end(), [&](const MenuEntry& e) { return e.text == path[i]; });
            if (it == level->end()) return false;
            if (i + 1 == path.size()) {
                if (!it->chosen) return false;
                auto chosen = it->chosen;
                menu.clear();
                chosen();
                return true;
            }
            level = &it->entries;
        }
        return false;
    }
    // The operator types into the text box and presses OK (or cancels: nullopt).
    void type(std::optional<std::string> text) {
        if (auto f = std::exchange(pendingText, {})) f(std::move(text));
    }
    void end() override { ended = true; }
};

} // namespace tova::test
