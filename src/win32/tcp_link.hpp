// SPDX-License-Identifier: MIT
#pragma once
// tcp://HOST:PORT: a serial device server in raw TCP mode, over Winsock. Connecting waits at most
// kConnectTimeoutMs (openLater waits on a thread of its own); a thread of the link's own reads and
// flushes what the socket would not take at once, and posts what it read.
#include "link/link.hpp"
#include "win32/dispatcher.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <winsock2.h>

namespace tova::win32 {

class TcpLink : public Link {
  public:
    TcpLink(std::string url, Dispatcher& dispatcher);
    ~TcpLink() override;
    TcpLink(const TcpLink&) = delete;
    TcpLink& operator=(const TcpLink&) = delete;

    void setEvents(Events events) override { m_events = std::move(events); }
    std::optional<Fault> open(const LineSettings& settings) override;
    void openLater(const LineSettings& settings, std::function<void(std::optional<Fault>)> done) override;
    void close() override;
    bool isOpen() const override { return m_socket != INVALID_SOCKET; }
    std::optional<Fault> apply(const LineSettings&) override { return std::nullopt; }
    bool write(std::string_view bytes) override;
    std::string readAll() override;
    bool bytesWaiting() const override;
    std::size_t discardInput() override { return readAll().size(); }
    std::string errorText() const override { return m_error; }
    std::string describe() const override { return m_url + " (raw TCP: the speed setting does not apply)"; }

  private:
    // A connected socket, or what kept it from being one.
    struct Connected {
        SOCKET socket = INVALID_SOCKET;
        std::optional<Fault> fault;
    };
    Connected connectNow() const;
    void start(SOCKET s);
    void ioLoop(SOCKET s, HANDLE stop);
    void lose(const std::string& why);

    std::string m_url;
    Dispatcher& m_dispatcher;
    Events m_events;
    SOCKET m_socket = INVALID_SOCKET;
    HANDLE m_stop = nullptr;
    std::thread m_io, m_connecting;
    mutable std::mutex m_mutex; // shared with the thread: what was read, what waits to be sent
    std::string m_in, m_out;
    bool m_told = false;
    std::string m_error;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tova::win32
