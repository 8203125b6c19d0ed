// SPDX-License-Identifier: MIT
#pragma once
// The web listener's answers, request by request: the page and its files, the tables, login
// and logout, /metrics; every answer with the page's security headers. The HTTP parsing is Qt's;
// what each request gets is decided here.
#include "bridge/web/web_access.hpp"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tova::bridge {

struct WebRequest {
    std::string method;      // "GET", "POST", ...
    std::string path;        // without its query
    std::string host, origin, cookie, authorization; // the headers, empty when absent
    std::string body;
    std::string peer;        // the client's address
};

struct WebReply {
    int status = 200;
    std::string type;        // Content-Type; empty with no body
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers; // besides the security headers
    // The request showed it is a user's (a live session, a login, the metrics token; any request
    // where no login is needed): its connection keeps its place.
    bool settles = false;
};

// A file of the page: its type and bytes.
struct WebFile {
    std::string type, bytes;
};

// The headers every answer carries: no framing, no sniffing, no referrer, scripts and styles
// from the page's own files only.
const std::vector<std::pair<std::string, std::string>>& securityHeaders();

class WebRoutes {
  public:
    static constexpr std::string_view kSocketPath = "/socket";

    // What the routes serve, asked for as each request comes.
    struct Content {
        std::function<std::optional<WebFile>(std::string_view path)> file{}; // "/index.html", ...
        std::function<std::string()> tables{};  // JSON
        std::function<std::string()> metrics{}; // the text format
    };
    WebRoutes(WebAccess& access, Content content) : m_access(access), m_content(std::move(content)) {}

    WebReply handle(const WebRequest& r);
    // A page's socket may stay open: on the listener's Host, from its Origin, logged in.
    bool socketAllowed(const WebRequest& r);

  private:
    WebReply route(const WebRequest& r);

    WebAccess& m_access;
    Content m_content;
};

} // namespace tova::bridge
