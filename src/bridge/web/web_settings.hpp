// SPDX-License-Identifier: MIT
#pragma once
// The web listener's settings: its address, the names it answers to, its password, TLS, and who
// may read /metrics. The configuration file's keys and the command line's options are the same
// words and go through the same checks.
#include "core/host_port.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tova::bridge {

// Connections the web listener serves at once when no limit is given: twenty pages open with
// their sockets and requests fit well within it.
inline constexpr int kDefaultMaxHttp = 128;

struct WebSettings {
    std::optional<HostPort> listen;          // http=
    std::vector<std::string> names;          // http-name=: more host names it answers to
    std::optional<std::string> passwordFile; // http-password-file=
    std::optional<std::string> cert, key;    // http-cert=, http-key=: HTTPS
    std::optional<int> maxClients;           // http-max-clients=
    std::optional<int> maxPerAddress;        // http-max-per-address=
    std::optional<bool> metricsOpen;         // metrics-open=
    std::optional<std::string> metricsTokenFile; // metrics-token-file=
};

// The items of a comma-separated list as the settings write them, blanks around each taken off.
std::vector<std::string_view> commaSeparated(std::string_view list);

// Takes one key ("http", "http-name", ...); what is wrong with its value, if anything. A
// second http-name adds to the first.
std::optional<std::string> setWebKey(WebSettings& w, std::string_view key, std::string_view value);
// The command line's over the file's.
WebSettings mergeWeb(const WebSettings& file, const WebSettings& line);
// What makes them unusable, before any address is looked up.
std::optional<std::string> webProblem(const WebSettings& w);

} // namespace tova::bridge
