// SPDX-License-Identifier: MIT
#include "bridge/web/web_routes.hpp"

namespace tova::bridge {
namespace {

WebReply text(int status, std::string body) { return {status, "text/plain; charset=utf-8", std::move(body) + "\n", {}}; }

} // namespace

const std::vector<std::pair<std::string, std::string>>& securityHeaders() {
    static const std::vector<std::pair<std::string, std::string>> h{
        {"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
    };
    return h;
}

bool WebRoutes::socketAllowed(const WebRequest& r) {
    return m_access.hostAllowed(r.host) && m_access.originAllowed(r.origin) && m_access.loggedIn(r.cookie);
}

WebReply WebRoutes::handle(const WebRequest& r) {
    // Another site's page that rebound its name to this address gets nothing.
    if (!m_access.hostAllowed(r.host)) return text(421, "This bridge does not answer to that host name.");
    WebReply reply = route(r);
    reply.settles = reply.settles || m_access.loggedIn(r.cookie);
    return reply;
}

WebReply WebRoutes::route(const WebRequest& r) {
    const bool get = r.method == "GET" || r.method == "HEAD";
    if (r.method == "POST" && (r.path == "/login" || r.path == "/logout")) {
        if (!m_access.originAllowed(r.origin)) return text(403, "Refused: the request comes from another site.");
        if (r.path == "/logout") return {204, {}, {}, {{"Set-Cookie", m_access.logout(r.cookie)}}};
        std::string cookie;
        switch (m_access.login(formField(r.body, "password").value_or(""), r.peer, cookie)) {
        case WebAccess::Login::Opened: return {204, {}, {}, {{"Set-Cookie", cookie}}, true};
        case WebAccess::Login::Unneeded: return {204, {}, {}, {}, true};
        case WebAccess::Login::Wrong: return text(401, "Wrong password.");
        case WebAccess::Login::Banned: return text(429, "Too many wrong passwords: wait a minute.");
        case WebAccess::Login::TooMany: return text(429, "Too many wrong passwords from everywhere: wait a minute.");
        }
    }
    if (r.path == "/metrics" && get) {
        if (!m_access.metricsAllowed(r.authorization, r.cookie))
            return {401, "text/plain; charset=utf-8", "Log in or give the metrics token.\n", {{"WWW-Authenticate", "Bearer"}}};
        return {200, "text/plain; version=0.0.4; charset=utf-8", m_content.metrics ? m_content.metrics() : std::string(), {},
                m_access.tokenGiven(r.authorization)};
    }
    if (r.path == "/tables" && get) {
        if (!m_access.loggedIn(r.cookie)) return text(401, "Log in first.");
        return {200, "application/json", m_content.tables ? m_content.tables() : std::string("{}"), {}};
    }
    if (get && m_content.file) {
        if (auto f = m_content.file(r.path == "/" ? std::string_view("/index.html") : std::string_view(r.path)))
            return {200, std::move(f->type), std::move(f->bytes), {}};
    }
    if (!get && r.method != "POST") return {405, "text/plain; charset=utf-8", "Method not allowed.\n", {{"Allow", "GET, HEAD, POST"}}};
    return text(404, "Not found.");
}

} // namespace tova::bridge
