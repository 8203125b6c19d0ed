// SPDX-License-Identifier: MIT
#include "bridge/web/web_access.hpp"

#include "core/host_port.hpp"

#include <algorithm>
#include <cctype>

namespace tova::bridge {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> urlDecoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%') {
            if (i + 2 >= s.size()) return std::nullopt;
            const int hi = hexDigit(s[i + 1]), lo = hexDigit(s[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            out += char(hi * 16 + lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

std::string_view cookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const auto end = header.find(';');
        std::string_view pair = trimmed(header.substr(0, end));
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && trimmed(pair.substr(0, eq)) == name) return trimmed(pair.substr(eq + 1));
    }
    return {};
}

std::optional<std::string> formField(std::string_view body, std::string_view name) {
    while (!body.empty()) {
        const auto end = body.find('&');
        const std::string_view pair = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name) return urlDecoded(pair.substr(eq + 1));
    }
    return std::nullopt;
}

bool sameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size() || b.empty()) return false;
    volatile unsigned char diff = 0; // every byte is looked at, whatever the first ones were
    for (std::size_t i = 0; i < a.size(); ++i) diff = static_cast<unsigned char>(diff | (a[i] ^ b[i]));
    return diff == 0;
}

namespace {
// HOST or HOST:PORT as a Host header or an origin writes it, an IPv6 host in brackets; port 0
// when none is written.
std::optional<HostPort> hostAndPort(std::string_view text) {
    HostPort hp;
    std::string_view rest;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        hp.host = std::string(text.substr(1, close - 1));
        rest = text.substr(close + 1);
    } else {
        const auto colon = text.find(':');
        hp.host = std::string(text.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
    }
    if (hp.host.empty()) return std::nullopt;
    if (rest.empty()) return hp;
    if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6) return std::nullopt;
    for (char c : rest.substr(1)) {
        if (c < '0' || c > '9') return std::nullopt;
        hp.port = hp.port * 10 + (c - '0');
    }
    if (hp.port == 0 || hp.port > 65535) return std::nullopt;
    return hp;
}
} // namespace

WebAccess::WebAccess(WebAccessConfig config, const Clock& clock, DigestBackoff& backoff,
                     std::function<std::string(std::size_t)> random)
    : m_config(std::move(config)), m_clock(clock), m_backoff(backoff), m_random(std::move(random)) {
    for (auto& h : m_config.hosts) h = lower(h);
}

bool WebAccess::hostPortAllowed(std::string_view hostPort, int defaultPort) const {
    const auto hp = hostAndPort(hostPort);
    if (!hp) return false;
    const int port = hp->port == 0 ? defaultPort : hp->port;
    if (port != m_config.port) return false;
    const std::string host = lower(hp->host);
    return std::find(m_config.hosts.begin(), m_config.hosts.end(), host) != m_config.hosts.end();
}

bool WebAccess::hostAllowed(std::string_view hostHeader) const {
    return hostPortAllowed(trimmed(hostHeader), m_config.tls ? 443 : 80);
}

bool WebAccess::originAllowed(std::string_view origin) const {
    const std::string_view scheme = m_config.tls ? "https://" : "http://";
    origin = trimmed(origin);
    if (!origin.starts_with(scheme)) return false;
    origin.remove_prefix(scheme.size());
    if (origin.find('/') != std::string_view::npos) return false;
    return hostPortAllowed(origin, m_config.tls ? 443 : 80);
}

bool WebAccess::loggedIn(std::string_view cookieHeader) { return live(cookieValue(cookieHeader, kCookie)); }

std::string WebAccess::sessionOf(std::string_view cookieHeader) { return std::string(cookieValue(cookieHeader, kCookie)); }

bool WebAccess::setPassword(std::optional<std::string> password) {
    if (password == m_config.password) return false;
    m_config.password = std::move(password);
    m_sessions.clear(); // opened with the old one
    return true;
}

bool WebAccess::live(std::string_view id) {
    if (!m_config.password) return true;
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end()) return false;
    if (m_clock.now() - it->second >= kSessionLife) {
        m_sessions.erase(it);
        return false;
    }
    return true;
}

bool WebAccess::tokenGiven(std::string_view authorization) const {
    authorization = trimmed(authorization);
    return m_config.metricsToken && authorization.starts_with("Bearer ") &&
           sameSecret(trimmed(authorization.substr(7)), *m_config.metricsToken);
}

bool WebAccess::metricsAllowed(std::string_view authorization, std::string_view cookieHeader) {
    if (m_config.metricsOpen || !m_config.password || tokenGiven(authorization)) return true;
    return loggedIn(cookieHeader);
}

std::string WebAccess::cookie(std::string_view value, long long maxAgeSeconds) const {
    std::string c = std::string(kCookie) + "=" + std::string(value) + "; Path=/; Max-Age=" + std::to_string(maxAgeSeconds) +
                    "; HttpOnly; SameSite=Strict";
    if (m_config.tls) c += "; Secure";
    return c;
}

WebAccess::Login WebAccess::login(std::string_view password, const std::string& address, std::string& setCookie) {
    if (!m_config.password) return Login::Unneeded;
    if (m_backoff.banned(address)) return Login::Banned;
    if (!sameSecret(password, *m_config.password)) {
        ++m_failures;
        m_backoff.wrong(address);
        const auto now = m_clock.now();
        while (!m_recentFailures.empty() && now - m_recentFailures.front() >= std::chrono::minutes(1)) m_recentFailures.pop_front();
        if (m_recentFailures.size() >= kFailuresPerMinute) return Login::TooMany;
        m_recentFailures.push_back(now);
        return Login::Wrong;
    }
    // Sessions past their life go; at the limit the oldest goes for the new one.
    std::erase_if(m_sessions, [this](const auto& s) { return m_clock.now() - s.second >= kSessionLife; });
    if (m_sessions.size() >= kMaxSessions)
        m_sessions.erase(std::min_element(m_sessions.begin(), m_sessions.end(),
                                          [](const auto& a, const auto& b) { return a.second < b.second; }));
    const std::string id = m_random(32);
    m_sessions[id] = m_clock.now();
    setCookie = cookie(id, std::chrono::duration_cast<std::chrono::seconds>(kSessionLife).count());
    return Login::Opened;
}

std::string WebAccess::logout(std::string_view cookieHeader) {
    if (const auto it = m_sessions.find(cookieValue(cookieHeader, kCookie)); it != m_sessions.end()) m_sessions.erase(it);
    return cookie("", 0);
}

} // namespace tova::bridge
