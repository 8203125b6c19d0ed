// SPDX-License-Identifier: MIT
// The page's socket as a client speaks it: the opening read from a connection's first bytes,
// the client's frames held to RFC 6455, and the bridge's frames as a client reads them.
#include "bridge/web/websocket_frames.hpp"
#include "bridge/web/websocket_opening.hpp"
#include "core/utf8.hpp"

#include <gtest/gtest.h>

namespace tova::bridge {
namespace {

const std::string kKey = "dGhlIHNhbXBsZSBub25jZQ==";

std::string opening(const std::string& headers, const std::string& requestLine = "GET /socket HTTP/1.1") {
    return requestLine + "\r\n" + headers + "\r\n";
}
const std::string kGood = "Host: 127.0.0.1:8080\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + kKey +
                          "\r\nSec-WebSocket-Version: 13\r\n";

TEST(WebSocketOpening, OnlyAnOpeningOpensThePagesSocket) {
    using V = WebSocketOpening::Verdict;
    struct Case {
        std::string bytes;
        V verdict;
        const char* why; // a word of the refusal's reason
    } cases[] = {
        {opening(kGood), V::Opened, ""},
        {opening("Host: h\r\nUpgrade: WebSocket\r\nConnection: keep-alive, Upgrade\r\nSec-WebSocket-Key:  " + kKey +
                 " \r\nSec-WebSocket-Version: 13\r\nCookie: a=1\r\nCookie: b=2\r\n"),
         V::Opened, ""},
        {opening(kGood, "GET /socket?x=1 HTTP/1.1"), V::Opened, ""},
        {opening(kGood).substr(0, 40), V::Wait, ""},
        {opening(kGood + "Content-Length: 5\r\n") + "hello", V::Refused, "after its head"},
        {opening(kGood + "Content-Length: 0\r\n"), V::Refused, "a body"},
        {opening(kGood + "Transfer-Encoding: chunked\r\n"), V::Refused, "a body"},
        {opening(kGood) + "GET / HTTP/1.1\r\nHost: h\r\n\r\n", V::Refused, "after its head"},
        {opening(kGood) + "\x81\x84", V::Refused, "after its head"},
        {opening(kGood, "POST /socket HTTP/1.1"), V::Refused, "GET"},
        {opening(kGood, "GET /socket HTTP/1.0"), V::Refused, "HTTP/1.1"},
        {opening(kGood, "GET /tables HTTP/1.1"), V::Refused, "path"},
        {opening(kGood + "Host: again\r\n"), V::Refused, "Host"},
        {opening(kGood + " folded\r\n"), V::Refused, "header"},
        {opening("Host: h\r\nUpgrade: h2c\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + kKey + "\r\nSec-WebSocket-Version: 13\r\n"),
         V::Refused, "upgrade"},
        {opening("Host: h\r\nUpgrade: websocket\r\nConnection: keep-alive\r\nSec-WebSocket-Key: " + kKey +
                 "\r\nSec-WebSocket-Version: 13\r\n"),
         V::Refused, "upgrade"},
        {opening("Host: h\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: short==\r\nSec-WebSocket-Version: 13\r\n"),
         V::Refused, "key"},
        {opening("Host: h\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + kKey + "\r\nSec-WebSocket-Version: 8\r\n"),
         V::Refused, "version"},
        {"GET /socket HTTP/1.1\r\n" + std::string(9000, 'x'), V::Refused, "head over"},
    };
    for (const auto& c : cases) {
        const WebSocketOpening o = readOpening(c.bytes, 8192);
        EXPECT_EQ(o.verdict, c.verdict) << c.bytes;
        EXPECT_NE(o.why.find(c.why), std::string::npos) << o.why << " for " << c.bytes;
    }
    const WebSocketOpening o = readOpening(cases[1].bytes, 8192);
    EXPECT_EQ(o.host, "h");
    EXPECT_EQ(o.cookie, "a=1; b=2");
    EXPECT_EQ(o.key, kKey);
}

TEST(WebSocketOpening, TheFirstRequestLineSaysWhoseTheConnectionIs) {
    const std::pair<std::string, FirstRequest> cases[] = {
        {"GET /socket HTTP/1.1\r\n", FirstRequest::Page},   {"\r\nGET /socket?a HTTP/1.1\r\n", FirstRequest::Page},
        {"GET / HTTP/1.1\r\n", FirstRequest::Other},        {"GET /socketx HTTP/1.1\r\n", FirstRequest::Other},
        {"GET /sock", FirstRequest::Unknown},               {"", FirstRequest::Unknown},
        {std::string(9000, 'G'), FirstRequest::Other},      {"garbage\r\n", FirstRequest::Other},
        {std::string(8191, 'G'), FirstRequest::Unknown},    {std::string(8192, 'G'), FirstRequest::Other}, // 8 KB, no more
    };
    for (const auto& [bytes, first] : cases) EXPECT_EQ(firstRequest(bytes), first) << bytes.substr(0, 40);
}

TEST(WebSocketOpening, TheAnswerCarriesTheKeysAcceptAsTheRfcComputesIt) {
    // RFC 6455 1.3's own example.
    EXPECT_NE(openingAccepted(kKey).find("\r\nSec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"), std::string::npos);
    EXPECT_TRUE(openingAccepted(kKey).starts_with("HTTP/1.1 101 Switching Protocols\r\n"));
}

// A client's frame: masked unless told, with the mask the RFC's examples use.
std::string clientFrame(std::uint8_t first, std::string_view payload, bool masked = true) {
    std::string f(1, static_cast<char>(first));
    const std::uint8_t mask = masked ? 0x80 : 0;
    if (payload.size() < 126) f += static_cast<char>(mask | payload.size());
    else {
        f += static_cast<char>(mask | 126);
        f += static_cast<char>(payload.size() >> 8);
        f += static_cast<char>(payload.size() & 0xFF);
    }
    const char key[4] = {0x37, static_cast<char>(0xfa), 0x21, 0x3d};
    if (masked) f.append(key, 4);
    for (std::size_t i = 0; i < payload.size(); ++i) f += masked ? static_cast<char>(payload[i] ^ key[i % 4]) : payload[i];
    return f;
}

std::string events(WebSocketReader& r, const std::string& bytes, std::size_t piece) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        for (const auto& e : r.feed(std::string_view(bytes).substr(at, piece))) {
            static const char* kinds[] = {"text", "binary", "ping", "pong", "close", "fail"};
            out += std::string(kinds[int(e.kind)]) + (e.code ? " " + std::to_string(e.code) : "") + ":" + e.payload + ";";
        }
    return out;
}

TEST(WebSocketFrames, TheClientsFramesAreHeldToTheProtocol) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* events;
    } cases[] = {
        {"a text", clientFrame(0x81, "press 0 Command18"), "text:press 0 Command18;"},
        {"fragments and a ping between them", clientFrame(0x01, "pre") + clientFrame(0x89, "p") + clientFrame(0x80, "ss"),
         "ping:p;text:press;"},
        {"a binary", clientFrame(0x82, "ab"), "binary:ab;"},
        {"a pong is read and passed", clientFrame(0x8A, "x"), "pong:x;"},
        {"a close with its code", clientFrame(0x88, std::string("\x03\xe8", 2) + "bye"), "close 1000:bye;"},
        {"a close without one", clientFrame(0x88, ""), "close 1005:;"},
        {"nothing after the close", clientFrame(0x88, "") + clientFrame(0x81, "x"), "close 1005:;"},
        {"unmasked", clientFrame(0x81, "keep 0", false), "fail 1002:an unmasked frame;"},
        {"reserved bits", clientFrame(0xC1, "x"), "fail 1002:reserved bits set;"},
        {"an unknown opcode", clientFrame(0x83, "x"), "fail 1002:an unknown opcode;"},
        {"a fragmented ping", clientFrame(0x09, "x"), "fail 1002:a control frame fragmented or over 125 bytes;"},
        {"a continuation of nothing", clientFrame(0x80, "x"), "fail 1002:a continuation of nothing;"},
        {"a message inside a message", clientFrame(0x01, "a") + clientFrame(0x81, "b"), "fail 1002:a new message inside a fragmented one;"},
        {"text that is no UTF-8", clientFrame(0x81, "\xff\xfe"), "fail 1007:text that is no UTF-8;"},
        {"a close of one byte", clientFrame(0x88, "\x03"), "fail 1002:a close of one byte;"},
        {"a close code not allowed", clientFrame(0x88, std::string("\x03\xed", 2)), "fail 1002:a close code not allowed;"},
        {"too big, said at its length", clientFrame(0x81, std::string(300, 'a')).substr(0, 4), "fail 1009:a message over its bound;"},
        {"too big in fragments", clientFrame(0x01, std::string(200, 'a')) + clientFrame(0x80, std::string(100, 'a')),
         "fail 1009:a message over its bound;"},
        {"nothing after a failure", clientFrame(0x81, "x", false) + clientFrame(0x81, "y"), "fail 1002:an unmasked frame;"},
    };
    for (const auto& c : cases)
        for (std::size_t piece : {std::size_t(1), std::size_t(3), c.bytes.size()}) {
            WebSocketReader r(256);
            EXPECT_EQ(events(r, c.bytes, piece), c.events) << c.name << " in pieces of " << piece;
        }
}

TEST(WebSocketFrames, TheBridgesFramesAreWholeAndUnmasked) {
    EXPECT_EQ(webSocketFrame(WsOpcode::Text, "Hello"), std::string("\x81\x05Hello", 7)); // RFC 6455 5.7
    // The length in 7 bits up to 125, in 16 from 126 to 65535, in 64 beyond.
    const struct {
        std::size_t size;
        std::string head;
    } lengths[] = {
        {125, std::string("\x81\x7d", 2)},
        {126, std::string("\x81\x7e\x00\x7e", 4)},
        {300, std::string("\x81\x7e\x01\x2c", 4)},
        {65535, std::string("\x81\x7e\xff\xff", 4)},
        {65536, std::string("\x81\x7f\x00\x00\x00\x00\x00\x01\x00\x00", 10)},
        {70000, std::string("\x81\x7f\x00\x00\x00\x00\x00\x01\x11\x70", 10)},
    };
    for (const auto& l : lengths) {
        const std::string f = webSocketFrame(WsOpcode::Text, std::string(l.size, 'a'));
        EXPECT_EQ(f.substr(0, l.head.size()), l.head) << l.size;
        EXPECT_EQ(f.size(), l.head.size() + l.size) << l.size;
    }
    EXPECT_EQ(closeFrame(1008, "logged out"), std::string("\x88\x0c\x03\xf0logged out", 14));
    // A long reason is cut to fit a control frame, never inside a character.
    std::string reason;
    for (int i = 0; i < 60; ++i) reason += "\xc3\xa9"; // é
    const std::string cut = closeFrame(1000, reason);
    EXPECT_LE(cut.size(), 2u + 125u);
    EXPECT_TRUE(validUtf8(cut.substr(4)));
}

TEST(Utf8, ValidAndPrintable) {
    struct Case {
        std::string text;
        bool valid, printable;
    } cases[] = {
        {"Hall left", true, true},          {"Salle 1 \xc3\xa9t\xc3\xa9", true, true}, {"\xe6\x98\xa0\xe5\x83\x8f", true, true},
        {"\xf0\x9f\x8e\xa5", true, true},   {"a\rb", true, false},                     {"a\nb", true, false},
        {"tab\there", true, false},         {"del\x7f", true, false},                  {"c1 \xc2\x85", true, false},
        {"\xff\xfe", false, false},         {"\xc0\xaf", false, false},                {"\xed\xa0\x80", false, false},
        {"\xf4\x90\x80\x80", false, false}, {"cut \xe6\x98", false, false},            {"", true, true},
        // Each lead byte's range at its edges: C2-DF two bytes, E0-EF three, F0-F4 four.
        {"\xc2\x80", true, false},         {"\xdf\xbf", true, true},                 {"\xc1\xbf", false, false},
        {"\xe0\xa0\x80", true, true},     {"\xef\xbf\xbd", true, true},            {"\xf0\x90\x80\x80", true, true},
        {"\xf4\x8f\xbf\xbd", true, true}, {"\xf5\x80\x80\x80", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(validUtf8(c.text), c.valid) << c.text;
        EXPECT_EQ(printableUtf8(c.text), c.printable) << c.text;
    }
}

} // namespace
} // namespace tova::bridge
