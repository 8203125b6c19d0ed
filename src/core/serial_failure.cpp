// SPDX-License-Identifier: MIT
#include "core/serial_control.hpp"

namespace tova {
namespace {

std::string_view reading(SerialFault f) {
    switch (f) {
    case SerialFault::Other: return {};
    case SerialFault::NoDevice: return "no such device";
    case SerialFault::InUse: return "in use by another program";
    case SerialFault::NoPermission: return "no permission to open it";
    case SerialFault::Disconnected: return "the device was disconnected";
    case SerialFault::NotOpen: return "not open";
    case SerialFault::Console: return "the system console, never opened here";
    case SerialFault::NoAnswer: return "the device server does not answer";
    case SerialFault::Refused: return "the device server refused the connection";
    }
    return {};
}

std::string reason(std::string out, const SerialFailure& f) {
    const std::string_view plain = reading(f.fault);
    if (plain.empty()) return out + f.text;
    out += plain;
    if (!f.text.empty()) out += " (" + f.text + ")";
    return out;
}

} // namespace

std::string describe(const SerialFailure& f) {
    return reason(f.port != 0 ? "COM" + std::to_string(f.port) + " (" + f.device + "): " : std::string(), f);
}

std::string describeDevice(const SerialFailure& f) {
    return reason(f.device.empty() ? std::string() : f.device + ": ", f);
}

} // namespace tova
