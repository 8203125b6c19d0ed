// SPDX-License-Identifier: MIT
#include "bridge/web/websocket_opening.hpp"

#include "bridge/digest.hpp"
#include "bridge/web/web_routes.hpp"

#include <cctype>

namespace tova::bridge {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool namesToken(std::string_view list, std::string_view token) {
    for (;;) {
        const std::size_t comma = list.find(',');
        if (lower(trimmed(list.substr(0, comma))) == token) return true;
        if (comma == std::string_view::npos) return false;
        list.remove_prefix(comma + 1);
    }
}

// 16 bytes in base64: 22 characters of its alphabet and "==".
bool wellFormedKey(std::string_view key) {
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    return key.size() == 24 && key.ends_with("==") && key.substr(0, 22).find_first_not_of(kAlphabet) == std::string_view::npos;
}

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const auto byte = [&](std::size_t k) { return k < bytes.size() ? unsigned(static_cast<unsigned char>(bytes[k])) : 0u; };
        const unsigned v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
    }
    return out;
}

WebSocketOpening refused(std::string why) { return {WebSocketOpening::Verdict::Refused, std::move(why), {}, {}, {}, {}}; }

// The request's target without its query.
std::string_view pathOf(std::string_view target) { return target.substr(0, target.find('?')); }

} // namespace

FirstRequest firstRequest(std::string_view bytes) {
    // Blank lines before a request are allowed.
    while (bytes.starts_with("\r\n") || bytes.starts_with("\n")) bytes.remove_prefix(bytes.front() == '\r' ? 2 : 1);
    const std::size_t end = bytes.find('\n');
    if (end == std::string_view::npos) return bytes.size() < 8192 ? FirstRequest::Unknown : FirstRequest::Other;
    const std::string_view line = bytes.substr(0, end);
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return FirstRequest::Other;
    const std::string_view target = line.substr(space + 1, line.find(' ', space + 1) - space - 1);
    return pathOf(target) == WebRoutes::kSocketPath ? FirstRequest::Page : FirstRequest::Other;
}

WebSocketOpening readOpening(std::string_view bytes, std::size_t limit) {
    while (bytes.starts_with("\r\n")) bytes.remove_prefix(2);
    const std::size_t end = bytes.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return bytes.size() >= limit ? refused("a head over " + std::to_string(limit) + " bytes") : WebSocketOpening{};
    if (end + 4 != bytes.size()) return refused("bytes after its head (nothing may follow it before the answer)");
    std::string_view head = bytes.substr(0, end + 2);
    const std::string_view requestLine = head.substr(0, head.find("\r\n"));
    head.remove_prefix(requestLine.size() + 2);
    const std::size_t s1 = requestLine.find(' '), s2 = requestLine.rfind(' ');
    if (s1 == std::string_view::npos || s1 == s2) return refused("no request line");
    if (requestLine.substr(0, s1) != "GET") return refused("a method other than GET");
    if (pathOf(requestLine.substr(s1 + 1, s2 - s1 - 1)) != WebRoutes::kSocketPath) return refused("another path");
    if (requestLine.substr(s2 + 1) != "HTTP/1.1") return refused("a version other than HTTP/1.1");

    WebSocketOpening o{WebSocketOpening::Verdict::Opened, {}, {}, {}, {}, {}};
    std::string upgrade, connection, version;
    int hosts = 0;
    while (!head.empty()) {
        const std::string_view line = head.substr(0, head.find("\r\n"));
        head.remove_prefix(line.size() + 2);
        const std::size_t colon = line.find(':');
        if (line.empty() || line.front() == ' ' || line.front() == '\t' || colon == std::string_view::npos || colon == 0)
            return refused("a header line that is none");
        const std::string name = lower(line.substr(0, colon));
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (name == "content-length" || name == "transfer-encoding") return refused("a body");
        if (name == "host") ++hosts, o.host = value;
        else if (name == "origin") o.origin = value;
        else if (name == "cookie") o.cookie += (o.cookie.empty() ? "" : "; ") + std::string(value);
        else if (name == "upgrade") upgrade = value;
        else if (name == "connection") connection += "," + std::string(value);
        else if (name == "sec-websocket-key") o.key = value;
        else if (name == "sec-websocket-version") version = value;
    }
    if (hosts != 1) return refused("no single Host");
    if (lower(upgrade) != "websocket" || !namesToken(connection, "upgrade")) return refused("no WebSocket upgrade");
    if (!wellFormedKey(o.key)) return refused("no key of 16 bytes");
    if (version != "13") return refused("a version other than 13");
    return o;
}

std::string openingAccepted(std::string_view key) {
    std::string digest;
    fromHex(sha1Hex(std::string(key) + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"), digest);
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " +
           base64(digest) + "\r\n\r\n";
}

std::string closingResponse(int status, std::string_view reason, std::string_view text) {
    const std::string body = std::string(text) + "\n";
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
                      "\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n";
    for (const auto& [k, v] : securityHeaders()) out += k + ": " + v + "\r\n";
    return out + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace tova::bridge
