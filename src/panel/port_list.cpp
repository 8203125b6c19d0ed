// SPDX-License-Identifier: MIT
// Where COM1 and COM2 lead: the ports this computer has, offered in COM's context menu and in
// the box when a port does not open, and a choice kept for the next start.
#include "panel/panel.hpp"

#include "core/host_port.hpp"

#include <algorithm>

namespace tova {

std::optional<SerialPortInfo> Panel::portToOffer() const {
    if (!m_ports.list) return std::nullopt;
    const std::string one = m_serial.devicePath(1), two = m_serial.devicePath(2);
    for (SerialPortInfo& p : m_ports.list())
        if (p.path != one && p.path != two) return std::move(p);
    return std::nullopt;
}

void Panel::contextMenu(std::string_view control) {
    if (control != ctl::ComButton) return;
    const auto ports = m_ports.list ? m_ports.list() : std::vector<SerialPortInfo>{};
    m_window.showMenu({leadsToMenu(1, ports), leadsToMenu(2, ports)});
}

MenuEntry Panel::leadsToMenu(int port, const std::vector<SerialPortInfo>& ports) {
    const std::string now = m_serial.devicePath(port);
    MenuEntry menu{"COM" + std::to_string(port) + " leads to"};
    for (const SerialPortInfo& p : ports)
        menu.entries.push_back({portLabel(p), {}, p.path == now, [this, port, path = p.path] { leadPort(port, path); }});
    // Where it leads now, when that is no port listed (a device server, an adapter unplugged).
    if (std::none_of(ports.begin(), ports.end(), [&](const SerialPortInfo& p) { return p.path == now; }))
        menu.entries.insert(menu.entries.begin(), {now, {}, true, [this, port, now] { leadPort(port, now); }});
    menu.entries.push_back({"Other...", {}, false, [this, port] { askDevice(port); }});
    return menu;
}

void Panel::askDevice(int port) {
    const std::string com = "COM" + std::to_string(port);
    m_window.askText(com + " leads to (a serial device, or tcp://HOST:PORT of a device server):", m_serial.devicePath(port),
                     [this, port, com](std::optional<std::string> typed) {
                         if (!typed) return;
                         std::string device = *typed;
                         const auto blank = [](char c) { return c == ' ' || c == '\t'; };
                         while (!device.empty() && blank(device.back())) device.pop_back();
                         device.erase(device.begin(), std::find_if_not(device.begin(), device.end(), blank));
                         if (device.empty()) return m_warning.warn(com + ": no device was given; it leads where it led.");
                         if (const auto why = deviceServerProblem(device))
                             return m_warning.warn(com + ": " + *why + ". It leads where it led.");
                         leadPort(port, device);
                     });
}

void Panel::leadPort(int port, const std::string& device) {
    const std::string com = "COM" + std::to_string(port);
    try {
        m_serial.leadPort(port, device); // the open port is closed first
    } catch (const SerialError& e) {
        showPortState();
        return m_warning.warn(warningText(e.failure()));
    }
    const bool kept = !m_ports.keep || m_ports.keep(port, device);
    // As the operator's click on the option would: marked, then chosen.
    m_window.setMarked(port == 1 ? ctl::Com1 : ctl::Com2, true);
    choosePort(port);
    if (!kept) m_warning.warn(com + " leads to " + device + " until the panel ends: the choice could not be kept.");
}

} // namespace tova
