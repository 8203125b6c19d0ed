// SPDX-License-Identifier: MIT
#pragma once
// The paths that take bytes from outside, each driven by one fuzz input: the panel's receive
// path and decoder; a PJLink connection (with and without a password); two clients of the
// shared line; a page's socket, its opening and its frames. Each returns what invariant broke, or nothing. The fuzz targets and the tests'
// replay of their corpora both call them.
#include "bridge/pjlink/pjlink_session.hpp"
#include "bridge/shared_line.hpp"
#include "bridge/web/websocket_frames.hpp"
#include "bridge/web/websocket_opening.hpp"
#include "core/utf8.hpp"
#include "fakes.hpp"
#include "pjlink_rig.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace tova::fuzz {

// Chunks of the input: a length byte (its top bit lets the clock run first), then that many bytes.
template <class Take>
void chunks(const std::uint8_t* data, std::size_t size, std::size_t from, test::FakeClock& clock, Take take) {
    std::size_t i = from;
    while (i < size) {
        const std::uint8_t head = data[i++];
        if (head & 0x80) clock.advance(head & 0x7f ? 300 : 1200);
        const std::size_t n = std::min<std::size_t>(head & 0x7f, size - i);
        take(std::string(reinterpret_cast<const char*>(data + i), n), head);
        i += n;
    }
}

// A line is sent (one of the nine queries or an ordinary command, under one of the addresses),
// then the rest arrives in chunks.
inline std::string receivePath(const std::uint8_t* data, std::size_t size) {
    static const char* const kSent[] = {"Command44", "Command45", "Command46", "Command47",
                                        "Command54", "Command55", "Command38", "Command12",
                                        "Command99", "Command17", "Command95"};
    static const char* const kAddress[] = {"Option3", "Option4", "Option5", "Option8"};
    if (size < 2) return {};
    test::Rig r;
    test::Rig::load(r);
    r.panel.click(kAddress[data[1] % 4]);
    const std::size_t which = data[0] % (sizeof kSent / sizeof *kSent);
    if (which == 10) r.window.texts["Text1"] = "CR0"; // the free-text send of a query
    r.panel.click(kSent[which]);
    chunks(data, size, 2, r.clock, [&](const std::string& bytes, std::uint8_t) { r.serial.receive(bytes); });
    // The display must stay a function of the start of the received text.
    if (r.panel.rxBuffer.size() > kReceiveCap)
        return "the receive buffer holds " + std::to_string(r.panel.rxBuffer.size()) + " bytes";
    if (r.label("Label12").size() > 1 + 4 * kReceiveCap) return "Label12 outgrew the receive buffer";
    return {};
}

// A projector that answers what the bridge asks, as the virtual one would.
inline void answerAsAProjector(test::BridgeRig& r) {
    r.answers = {{"CR0\r", "00\r"}, {"CR1\r", "2\r"}, {"CR3\r", "01234\r"}, {"CR7\r", "03\r"},
                 {"CRA\r", "01\r"}, {"CR9\r", "TM4\r"}, {"C00\r", "\x06"},   {"C01\r", "ERR\r"},
                 {"C05\r", "\x06"}, {"C0D\r", "\x06"},  {"C0B\r", "\x06"}};
}

// The first byte says whether the connection needs a password (and whether the first chunk is
// prefixed with the right digest); the rest arrives from the client in chunks.
inline std::string pjlinkPath(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return {};
    bridge::ProjectorConfig config;
    if (data[0] & 1) config.password = "JBMIAProjectorLink";
    test::PjlinkRig r(config);
    answerAsAProjector(r);
    bool first = true;
    chunks(data, size, 1, r.clock, [&](std::string bytes, std::uint8_t) {
        if (first && (data[0] & 2)) bytes = "5d8409bc1c3fa39749434aa3a5c38682" + bytes; // the rig's digest
        first = false;
        r.session->received(bytes);
        r.answer();
    });
    // Everything waiting ends (up to 16 input changes of 5 s each, and their guards), and then
    // the idle close comes.
    r.clock.advance(200000);
    r.answer();
    // Every answer is a whole line of the protocol: a response with the request's header, an
    // error, or the answer to "PJLINK 2".
    std::string_view out = r.sent;
    while (!out.empty()) {
        const std::size_t cr = out.find('\r');
        if (cr == std::string_view::npos) return "an answer without its CR";
        const std::string_view line = out.substr(0, cr);
        const bool response = line.starts_with("%") && line.size() >= 7 && line[6] == '=';
        if (!response && line != "PJLINK ERRA" && line != "PJLINK 0" && !line.starts_with("PJLINK 2 "))
            return "not a PJLink answer: " + std::string(line);
        out.remove_prefix(cr + 1);
    }
    if (!r.closed) return "an idle connection stayed open";
    return {};
}

// Two clients share the line; the first byte of each chunk says whose it is.
inline std::string sharedLinePath(const std::uint8_t* data, std::size_t size) {
    test::BridgeRig r;
    answerAsAProjector(r);
    std::string to[2];
    bool cut[2] = {false, false};
    std::size_t lines[2] = {0, 0};
    auto callbacks = [&](int i) {
        return bridge::SharedLineClient::Callbacks{[&to, i](const std::string& s) { to[i] += s; },
                                                   [&cut, i] { cut[i] = true; }, {}};
    };
    bridge::SharedLineClient a(1, r.queue, callbacks(0)), b(2, r.queue, callbacks(1));
    bridge::SharedLineClient* client[2] = {&a, &b};
    chunks(data, size, 0, r.clock, [&](const std::string& bytes, std::uint8_t head) {
        const int who = head & 0x40 ? 1 : 0;
        if (cut[who]) return;
        lines[who] += static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r'));
        client[who]->received(bytes);
        r.answer();
    });
    r.clock.advance(20000);
    for (int i = 0; i < 2; ++i) {
        if (lines[i] == 0 && !to[i].empty()) return "a client that sent no line got bytes";
        if (to[i].size() > kReceiveCap * (lines[i] + 1)) return "a client got more than its replies";
    }
    return {};
}

// The first chunk is read as a connection's opening; the rest arrive as a page's frames.
inline std::string pageSocketPath(const std::uint8_t* data, std::size_t size) {
    using Kind = bridge::WebSocketReader::Event::Kind;
    constexpr std::size_t kMax = 256;
    bridge::WebSocketReader reader(kMax);
    test::FakeClock clock;
    bool first = true, ended = false;
    std::string broken;
    chunks(data, size, 0, clock, [&](const std::string& bytes, std::uint8_t) {
        if (!broken.empty()) return;
        if (std::exchange(first, false)) {
            const auto o = bridge::readOpening(bytes, 1024);
            if (o.verdict == bridge::WebSocketOpening::Verdict::Opened &&
                (o.key.size() != 24 || bridge::openingAccepted(o.key).find("Sec-WebSocket-Accept: ") == std::string::npos))
                broken = "an opening without its key";
            if (o.verdict == bridge::WebSocketOpening::Verdict::Refused && o.why.empty()) broken = "a refusal without its reason";
            return;
        }
        for (const auto& e : reader.feed(bytes)) {
            if (ended) broken = "an event after the close";
            if (e.kind == Kind::Close || e.kind == Kind::Fail) ended = true;
            if ((e.kind == Kind::Text || e.kind == Kind::Binary) && e.payload.size() > kMax) broken = "a message over its bound";
            if (e.kind == Kind::Text && !validUtf8(e.payload)) broken = "text that is no UTF-8";
            if ((e.kind == Kind::Ping || e.kind == Kind::Pong) && e.payload.size() > 125) broken = "a control frame over 125 bytes";
            if (e.kind == Kind::Fail && e.code != 1002 && e.code != 1007 && e.code != 1009) broken = "a failure of another code";
        }
        if (ended != reader.done()) broken = "done() disagrees with the events";
    });
    return broken;
}

} // namespace tova::fuzz
