// SPDX-License-Identifier: MIT
// Events by control name: one lookup from the name to its handler, and the one held button.
#include "tables/address_options.hpp"
#include "panel/form1.hpp"

#include <functional>
#include <map>

namespace tova {
namespace {

using Handler = std::function<void(Form1&)>;

std::map<std::string_view, Handler> buildClicks() {
    std::map<std::string_view, Handler> h{
        {ctl::Com1, [](Form1& f) { f.choosePort(1); }},
        {ctl::Com2, [](Form1& f) { f.choosePort(2); }},
        {ctl::Speed19200, [](Form1& f) { f.chooseSpeed(kSettings19200); }},
        {ctl::Speed9600, [](Form1& f) { f.chooseSpeed(kSettings9600); }},
        {ctl::End, &Form1::end},
        {ctl::ComButton, &Form1::showComFrame},
        {ctl::DataButton, &Form1::toggleData},
        {ctl::Send, &Form1::sendFreeText},
        {ctl::ClearText, &Form1::clearFreeText},
    };
    for (const auto& b : commandButtons())
        h.emplace(b.name, [&b](Form1& f) { f.pressCommand(b); });
    for (const auto& a : kAddressOptions)
        h.emplace(a.name, [target = a.target](Form1& f) { f.chooseAddress(target); });
    // Held buttons have no click: activating one from the keyboard sends nothing.
    return h;
}

} // namespace

void Form1::click(std::string_view control) {
    static const auto clicks = buildClicks();
    if (auto it = clicks.find(control); it != clicks.end()) it->second(*this);
}

bool Form1::isHeld(std::string_view control) { return findHoldButton(control) != nullptr; }

bool Form1::mouseDown(std::string_view control) {
    const HoldButton* b = findHoldButton(control);
    if (!b || !m_held.empty()) return false;
    m_held = control;
    startHold(*b);
    return true;
}

void Form1::mouseUp(std::string_view control) {
    if (m_held.empty() || m_held != control) return;
    m_held.clear();
    endHold(*findHoldButton(control));
}

std::string Form1::releaseHeld() {
    std::string name = m_held;
    if (!name.empty()) mouseUp(name);
    return name;
}

} // namespace tova
