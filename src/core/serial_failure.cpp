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

// What the operator does next, one short sentence for each kind.
std::string_view step(SerialFault f) {
    switch (f) {
    case SerialFault::Other: return "Check the adapter and its cable, then try again";
    case SerialFault::NoDevice: return "Plug in the adapter, or choose the port it has (right-click COM)";
    case SerialFault::InUse: return "Close the other program that holds it";
    case SerialFault::NoPermission:
        return "Ask for access to the port (on Linux: add the user to the dialout group and log in again)";
    case SerialFault::Disconnected: return "Plug the adapter back in, then choose the port again";
    case SerialFault::NotOpen: return "Choose the port again to open it (click COM)";
    case SerialFault::Console: return "Choose another port: this one carries the system console";
    case SerialFault::NoAnswer: return "Check the device server's address and that it is on the network";
    case SerialFault::Refused: return "Check the device server's port, and that no other program holds it";
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

std::string_view nextStep(SerialFault fault) { return step(fault); }

std::string warningText(const SerialFailure& f) { return describe(f) + "\n" + std::string(step(f.fault)) + "."; }

std::string describeDevice(const SerialFailure& f) {
    return reason(f.device.empty() ? std::string() : f.device + ": ", f);
}

} // namespace tova
