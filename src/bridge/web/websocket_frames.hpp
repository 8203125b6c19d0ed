// SPDX-License-Identifier: MIT
#pragma once
// A page's WebSocket frames (RFC 6455 5): what a client sends, read as it comes and held to the
// protocol, and what the bridge sends. Every client frame must be masked; a frame the protocol
// does not allow fails the connection with 1002, text that is no UTF-8 with 1007, a message over
// the bound with 1009 (said as soon as its length is read). Once the client's close or a failure
// is read, nothing more is.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tova::bridge {

enum class WsOpcode : std::uint8_t { Continuation = 0, Text = 1, Binary = 2, Close = 8, Ping = 9, Pong = 10 };

namespace ws_close {
inline constexpr std::uint16_t kNormal = 1000, kProtocolError = 1002, kUnsupported = 1003, kNoCode = 1005,
                               kInvalidData = 1007, kPolicy = 1008, kTooBig = 1009, kTryAgainLater = 1013;
}

class WebSocketReader {
  public:
    struct Event {
        enum class Kind { Text, Binary, Ping, Pong, Close, Fail } kind;
        std::string payload;    // a message; a ping's or pong's data; a close's reason; a failure's why
        std::uint16_t code = 0; // a close's (kNoCode when it gave none); the one a failure closes with
    };
    explicit WebSocketReader(std::size_t maxMessage) : m_max(maxMessage) {}

    // The next bytes from the client; the events they complete, in order.
    std::vector<Event> feed(std::string_view bytes);
    bool done() const { return m_done; }

  private:
    // One whole frame at the front of the buffer, or false when it has not come yet.
    bool nextFrame(std::vector<Event>& out);
    // A data frame read: its message whole, or a part of it kept.
    bool dataFrame(std::vector<Event>& out, WsOpcode opcode, bool fin, const std::string& payload);
    void closeFrameRead(std::vector<Event>& out, const std::string& payload);
    void fail(std::vector<Event>& out, std::uint16_t code, std::string why);

    std::size_t m_max;
    std::string m_buffer;  // bytes of frames not yet whole
    std::string m_message; // a fragmented message so far
    bool m_fragmented = false, m_text = false, m_done = false;
};

// A frame from the bridge: whole (FIN), unmasked.
std::string webSocketFrame(WsOpcode opcode, std::string_view payload);
// A close frame with its code and reason (the reason cut to fit a control frame).
std::string closeFrame(std::uint16_t code, std::string_view reason);

} // namespace tova::bridge
