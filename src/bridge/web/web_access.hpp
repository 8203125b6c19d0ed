// SPDX-License-Identifier: MIT
#pragma once
// Who may use the web listener. Every request's Host must name the listener (its address as
// given or looked up, or a name given with http-name=): a page on another site that rebinds its
// name to this address is refused, which matters most on loopback, where there is no password.
// A login and a page's socket also need an Origin of the same list. A session is a fresh random
// 128-bit id, kept 12 h, 64 at most; wrong passwords earn the PJLink digests' back-off.
#include "bridge/client_bounds.hpp"
#include "core/clock.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tova::bridge {

struct WebAccessConfig {
    std::vector<std::string> hosts; // names and addresses the listener answers to (IPv6 without brackets)
    int port = 0;
    bool tls = false;
    std::optional<std::string> password;     // none: no login (a loopback listener)
    std::optional<std::string> metricsToken; // a scraper's bearer token
    bool metricsOpen = false;                // /metrics without a login or a token
};

// The value of one cookie in a Cookie header; empty when it has none.
std::string_view cookieValue(std::string_view header, std::string_view name);
// "password=..." from a form's urlencoded body, decoded; nullopt when it has none.
std::optional<std::string> formField(std::string_view body, std::string_view name);
// Equal texts, compared in a time that does not tell how much of them matched.
bool sameSecret(std::string_view a, std::string_view b);

class WebAccess {
  public:
    static constexpr std::size_t kMaxSessions = 64;
    static constexpr std::chrono::hours kSessionLife{12};
    static constexpr std::string_view kCookie = "tova_session";

    enum class Login { Opened, Wrong, Banned, Unneeded };

    // random(n): n hexadecimal digits from the system's random source.
    WebAccess(WebAccessConfig config, const Clock& clock, DigestBackoff& backoff,
              std::function<std::string(std::size_t)> random);

    const WebAccessConfig& config() const { return m_config; }
    bool hostAllowed(std::string_view hostHeader) const;
    bool originAllowed(std::string_view origin) const;
    // A page's session: true without a password, else when the cookie names a live session.
    bool loggedIn(std::string_view cookieHeader);
    bool metricsAllowed(std::string_view authorization, std::string_view cookieHeader);

    // A login from address; on Opened, setCookie holds the Set-Cookie header's value.
    Login login(std::string_view password, const std::string& address, std::string& setCookie);
    // The session ends; the Set-Cookie header's value that removes the cookie.
    std::string logout(std::string_view cookieHeader);
    void setPassword(std::optional<std::string> password) { m_config.password = std::move(password); }
    void setPort(int port) { m_config.port = port; }

    std::uint64_t failures() const { return m_failures; }
    std::size_t sessions() const { return m_sessions.size(); }

  private:
    bool hostPortAllowed(std::string_view hostPort, int defaultPort) const;
    std::string cookie(std::string_view value, long long maxAgeSeconds) const;

    WebAccessConfig m_config;
    const Clock& m_clock;
    DigestBackoff& m_backoff;
    std::function<std::string(std::size_t)> m_random;
    std::map<std::string, std::chrono::milliseconds, std::less<>> m_sessions; // id, opened at
    std::uint64_t m_failures = 0;
};

} // namespace tova::bridge
