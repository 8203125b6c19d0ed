// SPDX-License-Identifier: MIT
#include "bridge/web/websocket_frames.hpp"

#include "core/utf8.hpp"

#include <utility>

namespace tova::bridge {
namespace {

constexpr std::size_t kMostControl = 125;

bool validCloseCode(std::uint16_t c) { return (c >= 1000 && c <= 1003) || (c >= 1007 && c <= 1014) || (c >= 3000 && c <= 4999); }

} // namespace

void WebSocketReader::fail(std::vector<Event>& out, std::uint16_t code, std::string why) {
    out.push_back({Event::Kind::Fail, std::move(why), code});
    m_done = true;
    m_buffer.clear();
    m_message.clear();
}

std::vector<WebSocketReader::Event> WebSocketReader::feed(std::string_view bytes) {
    std::vector<Event> out;
    if (m_done) return out;
    m_buffer.append(bytes);
    while (!m_done && nextFrame(out)) {
    }
    return out;
}

bool WebSocketReader::nextFrame(std::vector<Event>& out) {
    const auto at = [this](std::size_t i) { return static_cast<unsigned char>(m_buffer[i]); };
    if (m_buffer.size() < 2) return false;
    const bool fin = at(0) & 0x80, masked = at(1) & 0x80;
    const auto opcode = static_cast<WsOpcode>(at(0) & 0x0F);
    const bool control = (at(0) & 0x08) != 0;
    if (at(0) & 0x70) return fail(out, ws_close::kProtocolError, "reserved bits set"), false;
    if ((at(0) & 0x0F) > 10 || ((at(0) & 0x0F) > 2 && (at(0) & 0x0F) < 8))
        return fail(out, ws_close::kProtocolError, "an unknown opcode"), false;
    if (!masked) return fail(out, ws_close::kProtocolError, "an unmasked frame"), false;
    const std::size_t length7 = at(1) & 0x7F;
    if (control && (!fin || length7 > kMostControl))
        return fail(out, ws_close::kProtocolError, "a control frame fragmented or over 125 bytes"), false;
    const std::size_t extra = length7 == 126 ? 2 : length7 == 127 ? 8 : 0;
    if (m_buffer.size() < 2 + extra) return false;
    unsigned long long length = length7;
    if (extra) {
        length = 0;
        for (std::size_t i = 0; i < extra; ++i) length = length << 8 | at(2 + i);
        if (length >> 63) return fail(out, ws_close::kProtocolError, "a length past 63 bits"), false;
    }
    if (!control && length > m_max - m_message.size()) return fail(out, ws_close::kTooBig, "a message over its bound"), false;
    const std::size_t head = 2 + extra + 4;
    if (m_buffer.size() < head + length) return false;

    std::string payload = m_buffer.substr(head, std::size_t(length));
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(payload[i] ^ m_buffer[2 + extra + i % 4]);
    m_buffer.erase(0, head + std::size_t(length));

    switch (opcode) {
    case WsOpcode::Continuation:
    case WsOpcode::Text:
    case WsOpcode::Binary: return dataFrame(out, opcode, fin, payload);
    case WsOpcode::Close: return closeFrameRead(out, payload), false;
    case WsOpcode::Ping: out.push_back({Event::Kind::Ping, std::move(payload), 0}); return true;
    case WsOpcode::Pong: out.push_back({Event::Kind::Pong, std::move(payload), 0}); return true;
    }
    return true;
}

bool WebSocketReader::dataFrame(std::vector<Event>& out, WsOpcode opcode, bool fin, const std::string& payload) {
    if ((opcode == WsOpcode::Continuation) != m_fragmented)
        return fail(out, ws_close::kProtocolError, m_fragmented ? "a new message inside a fragmented one" : "a continuation of nothing"),
               false;
    if (opcode != WsOpcode::Continuation) m_text = opcode == WsOpcode::Text;
    m_message += payload;
    m_fragmented = !fin;
    if (!fin) return true;
    if (m_text && !validUtf8(m_message)) return fail(out, ws_close::kInvalidData, "text that is no UTF-8"), false;
    out.push_back({m_text ? Event::Kind::Text : Event::Kind::Binary, std::exchange(m_message, {}), 0});
    return true;
}

void WebSocketReader::closeFrameRead(std::vector<Event>& out, const std::string& payload) {
    if (payload.size() == 1) return fail(out, ws_close::kProtocolError, "a close of one byte");
    std::uint16_t code = ws_close::kNoCode;
    if (payload.size() >= 2) {
        code = static_cast<std::uint16_t>(static_cast<unsigned char>(payload[0]) << 8 | static_cast<unsigned char>(payload[1]));
        if (!validCloseCode(code)) return fail(out, ws_close::kProtocolError, "a close code not allowed");
        if (!validUtf8(std::string_view(payload).substr(2))) return fail(out, ws_close::kInvalidData, "a close reason that is no UTF-8");
    }
    out.push_back({Event::Kind::Close, payload.size() >= 2 ? payload.substr(2) : std::string(), code});
    m_done = true;
    m_buffer.clear();
}

std::string webSocketFrame(WsOpcode opcode, std::string_view payload) {
    std::string f;
    f += static_cast<char>(0x80 | static_cast<unsigned>(opcode));
    if (payload.size() < 126) {
        f += static_cast<char>(payload.size());
    } else if (payload.size() <= 0xFFFF) {
        f += static_cast<char>(126);
        f += static_cast<char>(payload.size() >> 8);
        f += static_cast<char>(payload.size() & 0xFF);
    } else {
        f += static_cast<char>(127);
        for (int shift = 56; shift >= 0; shift -= 8) f += static_cast<char>((static_cast<unsigned long long>(payload.size()) >> shift) & 0xFF);
    }
    return f.append(payload);
}

std::string closeFrame(std::uint16_t code, std::string_view reason) {
    if (reason.size() > kMostControl - 2) {
        reason = reason.substr(0, kMostControl - 2);
        while (!reason.empty() && (static_cast<unsigned char>(reason.back()) & 0xC0) == 0x80) reason.remove_suffix(1);
        if (!reason.empty() && static_cast<unsigned char>(reason.back()) >= 0xC0) reason.remove_suffix(1);
    }
    std::string payload{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    return webSocketFrame(WsOpcode::Close, payload.append(reason));
}

} // namespace tova::bridge
