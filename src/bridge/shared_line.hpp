// SPDX-License-Identifier: MIT
#pragma once
// A client of the shared line, as of a serial device server in raw TCP mode: each line it sends
// (up to its CR) is one exchange in its turn, and it receives exactly the reply to its own line.
// A line to a projector the bridge does not serve is dropped unsent (the client sees no reply).
// A client silent for kIdle gives its place up to a newcomer that needs it, and only then is
// closed: the panel through the shared line stays connected between presses.
#include "link/exchange_queue.hpp"
#include "link/line_limits.hpp"

#include <chrono>
#include <functional>
#include <string>

namespace tova::bridge {

class SharedLineClient {
  public:
    static constexpr std::chrono::milliseconds kIdle{30000};
    struct Callbacks {
        std::function<void(const std::string&)> send{}; // bytes to the client
        std::function<void()> close{};
        std::function<void(const std::string&)> log{};
        std::function<void()> line{}; // a whole line from the client
        // Whether a line may go to that target (kNoAddress, kEveryProjector or 1 to 4); none: any.
        std::function<bool(int target)> mayAddress{};
    };
    SharedLineClient(ClientId id, ExchangeQueue& queue, Callbacks callbacks);
    ~SharedLineClient();
    SharedLineClient(const SharedLineClient&) = delete;
    SharedLineClient& operator=(const SharedLineClient&) = delete;

    void received(std::string_view bytes);

  private:
    Callbacks m_tell;
    ClientId m_id;
    ExchangeQueue& m_queue;
    std::string m_partial;
    bool m_closed = false;
    bool m_toldDuplicate = false;
};

} // namespace tova::bridge
