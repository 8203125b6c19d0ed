// SPDX-License-Identifier: MIT
#pragma once
// A page's socket opening, read from a connection's first bytes before the HTTP server sees
// them: a connection whose first request is for the socket is the page's alone. Its request
// is only an opening (RFC 6455 4.2.1): GET /socket over HTTP/1.1, one Host, Upgrade: websocket,
// Connection naming upgrade, a key of 16 bytes in base64, version 13; no body, nothing sent
// after it before the answer (a client waits for the 101). Anything else is refused with 400
// and the connection closed.
#include <cstddef>
#include <string>
#include <string_view>

namespace tova::bridge {

// What the first bytes of a connection are for.
enum class FirstRequest {
    Unknown, // its request line has not come whole yet
    Page,    // the page's socket: read here
    Other,   // the HTTP server's
};
FirstRequest firstRequest(std::string_view bytes);

struct WebSocketOpening {
    enum class Verdict {
        Wait,    // its head has not come whole yet
        Refused, // 400 and closed: why says what was wrong
        Opened,  // answered 101
    } verdict = Verdict::Wait;
    std::string why;
    std::string host, origin, cookie, key; // the headers, as the session check reads them
};
// The opening in bytes, read from the connection's start; limit: the most its head may take.
WebSocketOpening readOpening(std::string_view bytes, std::size_t limit);

// The answer that opens the socket, with the key's Sec-WebSocket-Accept.
std::string openingAccepted(std::string_view key);
// A whole plain-text response that closes the connection, with the security headers.
std::string closingResponse(int status, std::string_view reason, std::string_view text);

} // namespace tova::bridge
