// SPDX-License-Identifier: MIT
#pragma once
// HOST:PORT as every program's options take it: an IPv6 host in brackets ([::1]:4352).
#include <optional>
#include <string>
#include <string_view>

namespace tova {

struct HostPort {
    std::string host; // without brackets
    int port = 0;     // 0 to 65535
    bool operator==(const HostPort&) const = default;
};

// The host and port, or nullopt when the text is no HOST:PORT.
std::optional<HostPort> parseHostPort(std::string_view text);
// An IPv4 address in dotted decimal or an IPv6 address, as a literal (no name to look up).
bool isAddressLiteral(std::string_view host);
// A loopback address (127.0.0.0/8, ::1) as a literal: a peer on this machine.
bool isLoopbackAddress(std::string_view address);
// What limits per address count an address as: a global IPv6 address by its /64 (any host has
// one, and as many addresses in it as it likes), any other as itself.
std::string addressGroup(const std::string& address);
// What is wrong with a device name that names a device server: "tcp://" must be followed by
// HOST:PORT, the port 1 to 65535; nullopt for a good one, or a name of another kind.
std::optional<std::string> deviceServerProblem(std::string_view device);
// As written back: brackets around an IPv6 host.
std::string formatHostPort(const HostPort& hp);

} // namespace tova
