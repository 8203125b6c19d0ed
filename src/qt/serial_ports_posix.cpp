// SPDX-License-Identifier: MIT
// The serial ports of a Linux system, from /dev and /sys as udev and the kernel fill them.
#include "core/serial_ports.hpp"
#include "qt/console_guard.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace tova {
namespace fs = std::filesystem;
namespace {

// "usb-FTDI_FT232R_USB_UART_A1234567-if00-port0" reads "FTDI FT232R USB UART A1234567".
std::string byIdWords(std::string name) {
    for (const char* kind : {"usb-", "pci-", "platform-"})
        if (name.starts_with(kind)) name.erase(0, std::string(kind).size());
    if (const auto at = name.rfind("-if"); at != std::string::npos) name.erase(at);
    else if (const auto port = name.rfind("-port"); port != std::string::npos) name.erase(port);
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

// A node of /dev/ttyUSB3's kind and number, for their order: USB adapters, then ACM, then ttyS.
std::pair<int, long> nodeOrder(const std::string& name) {
    static const char* const kKinds[] = {"ttyUSB", "ttyACM", "ttyS"};
    for (int k = 0; k < 3; ++k)
        if (name.starts_with(kKinds[k])) {
            const std::string digits = name.substr(std::string(kKinds[k]).size());
            if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return {k, std::stol(digits)};
        }
    return {-1, 0};
}

std::string firstWord(const fs::path& file) {
    std::ifstream in(file);
    std::string w;
    in >> w;
    return w;
}

// A tty node with hardware behind it: a driver bound, on a bus other than the platform's (where
// the 8250 driver holds 32 placeholders every PC has).
bool hasHardware(const fs::path& sysTty, std::string& driver) {
    std::error_code e;
    const fs::path device = sysTty / "device";
    if (!fs::exists(device / "driver", e) && !fs::is_symlink(device / "driver", e)) return false;
    driver = fs::read_symlink(device / "driver", e).filename().string();
    if (e) driver = firstWord(device / "driver" / "name");
    const std::string bus = fs::read_symlink(device / "subsystem", e).filename().string();
    return e || bus != "platform";
}

} // namespace

std::vector<SerialPortInfo> serialPortsUnder(const std::string& root) {
    const fs::path dev = fs::path(root) / "dev", sys = fs::path(root) / "sys";
    std::error_code e;
    // Never the console, by its name in sysfs or, for the real system, by device number.
    std::set<std::string> consoles;
    for (const auto& c : activeConsoles(sys.string())) consoles.insert(fs::path(c).filename().string());
    const auto realConsoles = root == "/" ? activeConsoles() : std::vector<std::string>{};
    auto console = [&](const fs::path& node) {
        return consoles.contains(node.filename().string()) || !consoleBehind(node.string(), realConsoles).empty();
    };

    std::vector<SerialPortInfo> out;
    std::set<std::string> named; // nodes a stable name already offers
    std::vector<fs::path> links;
    for (const auto& entry : fs::directory_iterator(dev / "serial" / "by-id", e)) links.push_back(entry.path());
    std::sort(links.begin(), links.end());
    for (const fs::path& link : links) {
        // One step: udev links to the node itself (../../ttyUSB0).
        const fs::path step = fs::read_symlink(link, e);
        if (e) continue;
        const fs::path target = (link.parent_path() / step).lexically_normal();
        if (!fs::exists(target, e) || console(target)) continue;
        named.insert(target.filename().string());
        out.push_back({link.string(), byIdWords(link.filename().string()) + ", " + target.filename().string()});
    }
    std::vector<std::pair<std::pair<int, long>, SerialPortInfo>> nodes;
    for (const auto& entry : fs::directory_iterator(sys / "class" / "tty", e)) {
        const std::string name = entry.path().filename().string();
        const auto order = nodeOrder(name);
        std::string driver;
        if (order.first < 0 || named.contains(name) || !fs::exists(dev / name, e) || console(dev / name)) continue;
        if (!hasHardware(entry.path(), driver)) continue;
        nodes.push_back({order, {(dev / name).string(), driver}});
    }
    std::sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [order, port] : nodes) out.push_back(std::move(port));
    return out;
}

std::vector<SerialPortInfo> serialPorts() {
    const char* root = std::getenv("TOVA_PORTS_ROOT");
    return serialPortsUnder(root && *root ? root : "/");
}

} // namespace tova
