// SPDX-License-Identifier: MIT
#include "win32/win32_serial_control.hpp"

#include "win32/com_port.hpp"
#include "win32/tcp_link.hpp"

namespace tova::win32 {

std::unique_ptr<Link> makeLink(const std::string& name, Dispatcher& dispatcher) {
    if (_strnicmp(name.c_str(), "tcp://", 6) == 0) return std::make_unique<TcpLink>(name, dispatcher);
    return std::make_unique<ComPort>(name, dispatcher);
}

} // namespace tova::win32
