// SPDX-License-Identifier: MIT
#pragma once
// Who may use the web listener. Every request's Host must name the listener (its address as
// given or looked up, or a name given with http-name=): a page on another site that rebinds its
// name to this address is refused, which matters most on loopback, where there is no password.
// A login and a page's socket also need an Origin of the same list. A session is a fresh random
// 128-bit id, kept 12 h, 64 at most, ended by logging out and by a new password. Wrong passwords
// earn the PJLink digests' back-off by address, and past kFailuresPerMinute from all addresses
// together each further one is refused at once as too many; a right password still logs in.
#include "bridge/client_bounds.hpp"
#include "core/clock.hpp"

#include <chrono>
#include <cstdint>
#include <deque>
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
    static constexpr std::size_t kFailuresPerMinute = 30;

    enum class Login {
        Opened,
        Wrong,
        Banned,   // the address is refused for a while
        TooMany,  // a wrong password while wrong ones come from everywhere
        Unneeded,
    };

    // random(n): n hexadecimal digits from the system's random source.
    WebAccess(WebAccessConfig config, const Clock& clock, DigestBackoff& backoff,
              std::function<std::string(std::size_t)> random);

    const WebAccessConfig& config() const { return m_config; }
    bool hostAllowed(std::string_view hostHeader) const;
    bool originAllowed(std::string_view origin) const;
    // A page's session: true without a password, else when the cookie names a live session.
    bool loggedIn(std::string_view cookieHeader);
    // The session a Cookie header names; whether a session named so is still live (always
    // without a password).
    static std::string sessionOf(std::string_view cookieHeader);
    bool live(std::string_view session);
    bool metricsAllowed(std::string_view authorization, std::string_view cookieHeader);
    // The Authorization header carries the metrics token.
    bool tokenGiven(std::string_view authorization) const;

    // A login from address; on Opened, setCookie holds the Set-Cookie header's value.
    Login login(std::string_view password, const std::string& address, std::string& setCookie);
    // The session ends; the Set-Cookie header's value that removes the cookie.
    std::string logout(std::string_view cookieHeader);
    // A new password ends every session; the same one ends none. True when it changed.
    bool setPassword(std::optional<std::string> password);
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
    std::deque<std::chrono::milliseconds> m_recentFailures; // from all addresses, the last minute's
};

} // namespace tova::bridge
