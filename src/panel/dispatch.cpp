// SPDX-License-Identifier: MIT
// Events by control name: one lookup from the name to its handler, and the one held button.
#include "tables/address_options.hpp"
#include "panel/panel.hpp"

#include <functional>
#include <map>

namespace tova {
namespace {

using Handler = std::function<void(Panel&)>;

std::map<std::string_view, Handler> buildClicks() {
    std::map<std::string_view, Handler> h{
        {ctl::Com1, [](Panel& f) { f.choosePort(1); }},
        {ctl::Com2, [](Panel& f) { f.choosePort(2); }},
        {ctl::Speed19200, [](Panel& f) { f.chooseSpeed(kSettings19200); }},
        {ctl::Speed9600, [](Panel& f) { f.chooseSpeed(kSettings9600); }},
        {ctl::End, &Panel::end},
        {ctl::ComButton, &Panel::showComFrame},
        {ctl::DataButton, &Panel::toggleData},
        {ctl::Send, &Panel::sendFreeText},
        {ctl::ClearText, &Panel::clearFreeText},
    };
    for (const auto& b : commandButtons())
        h.emplace(b.name, [&b](Panel& f) { f.pressCommand(b); });
    for (const auto& a : kAddressOptions)
        h.emplace(a.name, [target = a.target](Panel& f) { f.chooseAddress(target); });
    // Held buttons have no click: activating one from the keyboard sends nothing.
    return h;
}

} // namespace

void Panel::click(std::string_view control) {
    static const auto clicks = buildClicks();
    if (auto it = clicks.find(control); it != clicks.end()) it->second(*this);
}

bool Panel::isHeld(std::string_view control) { return findHoldButton(control) != nullptr; }

bool Panel::mouseDown(std::string_view control) {
    const HoldButton* b = findHoldButton(control);
    if (!b || !m_held.empty()) return false;
    m_held = control;
    startHold(*b);
    return true;
}

void Panel::mouseUp(std::string_view control) {
    if (m_held.empty() || m_held != control) return;
    m_held.clear();
    endHold(*findHoldButton(control));
}

std::string Panel::releaseHeld() {
    std::string name = m_held;
    if (!name.empty()) mouseUp(name);
    return name;
}

} // namespace tova
