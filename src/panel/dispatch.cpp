// SPDX-License-Identifier: MIT
// Events by control name: one lookup from the name to its handler, and the one held button.
#include "core/form1.hpp"
#include "link/address_table.hpp"
#include "panel/command_table.hpp"
#include "panel/hold_table.hpp"

#include <functional>
#include <map>

namespace tova {
namespace {

using Handler = std::function<void(Form1&)>;

std::map<std::string_view, Handler> buildClicks() {
    std::map<std::string_view, Handler> h{
        {ctl::Option1, &Form1::Option1_Click},     {ctl::Option2, &Form1::Option2_Click},
        {ctl::Option9, &Form1::Option9_Click},     {ctl::Option10, &Form1::Option10_Click},
        {ctl::Command16, &Form1::Command16_Click}, {ctl::Command33, &Form1::Command33_Click},
        {ctl::Command34, &Form1::Command34_Click}, {ctl::Command95, &Form1::Command95_Click},
        {ctl::Command96, &Form1::Command96_Click},
    };
    for (const auto& b : commandButtons())
        h.emplace(b.name, [&b](Form1& f) { f.commandClick(b); });
    for (const auto& a : kAddressOptions)
        h.emplace(a.name, [&a](Form1& f) { f.addressChoice(a.prefix); });
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
    holdPress(*b);
    return true;
}

void Form1::mouseUp(std::string_view control) {
    if (m_held.empty() || m_held != control) return;
    m_held.clear();
    holdRelease(*findHoldButton(control));
}

std::string Form1::releaseHeld() {
    std::string name = m_held;
    if (!name.empty()) mouseUp(name);
    return name;
}

} // namespace tova
