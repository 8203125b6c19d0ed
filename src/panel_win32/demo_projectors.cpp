// SPDX-License-Identifier: MIT
#include "panel_win32/demo_projectors.hpp"

#include "win32/text.hpp"

#include <stdexcept>

#include <ws2tcpip.h>

namespace tova::win32 {

DemoProjector::DemoProjector(Dispatcher& dispatcher, sim::ProjectorLine::Options options)
    : m_dispatcher(dispatcher), m_timer(dispatcher),
      m_port(options, m_timer, m_clock,
             {[this](std::string_view bytes) -> std::size_t {
                  const SOCKET c = m_client;
                  if (c == INVALID_SOCKET) return bytes.size(); // nobody listening: lost, as on an open line
                  const int n = send(c, bytes.data(), static_cast<int>(bytes.size()), 0);
                  return n > 0 ? static_cast<std::size_t>(n) : 0;
              },
              {},
              {}}) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = 0; // one of the system's choosing
    int len = sizeof at;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(m_listener, 4) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
        const DWORD e = static_cast<DWORD>(WSAGetLastError());
        closesocket(m_listener);
        throw std::runtime_error("a loopback port: " + systemText(e));
    }
    m_where = "tcp://127.0.0.1:" + std::to_string(ntohs(at.sin_port));
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this, stop = m_stop] { serve(stop); });
}

DemoProjector::~DemoProjector() {
    SetEvent(m_stop);
    m_thread.join();
    if (m_client != INVALID_SOCKET) closesocket(m_client);
    closesocket(m_listener);
    CloseHandle(m_stop);
}

void DemoProjector::serve(HANDLE stop) {
    const std::weak_ptr<bool> alive = m_alive;
    const HANDLE accepting = WSACreateEvent(), reading = WSACreateEvent();
    WSAEventSelect(m_listener, accepting, FD_ACCEPT);
    for (;;) {
        const HANDLE all[3] = {stop, accepting, reading};
        const DWORD which = WaitForMultipleObjects(3, all, FALSE, INFINITE);
        if (which == WAIT_OBJECT_0) break;
        if (which == WAIT_OBJECT_0 + 1) {
            WSANETWORKEVENTS e{};
            WSAEnumNetworkEvents(m_listener, accepting, &e);
            const SOCKET s = accept(m_listener, nullptr, nullptr);
            if (s == INVALID_SOCKET) continue;
            const SOCKET old = m_client.exchange(s); // the newest client takes the port over
            if (old != INVALID_SOCKET) closesocket(old);
            WSAEventSelect(s, reading, FD_READ | FD_CLOSE);
            m_dispatcher.post([this, alive] {
                if (alive.lock()) m_port.newSession();
            });
            continue;
        }
        const SOCKET c = m_client;
        WSANETWORKEVENTS e{};
        WSAEnumNetworkEvents(c, reading, &e);
        char bytes[4096];
        const int n = c == INVALID_SOCKET ? 0 : recv(c, bytes, sizeof bytes, 0);
        if (n > 0) {
            m_dispatcher.post([this, alive, in = std::string(bytes, static_cast<std::size_t>(n))] {
                if (alive.lock()) m_port.received(in);
            });
        } else if ((e.lNetworkEvents & FD_CLOSE) || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
            SOCKET gone = c;
            if (m_client.compare_exchange_strong(gone, INVALID_SOCKET)) closesocket(c);
            m_dispatcher.post([this, alive] {
                if (alive.lock()) m_port.newSession(); // its replies still to come go nowhere
            });
        }
    }
    WSACloseEvent(accepting);
    WSACloseEvent(reading);
}

} // namespace tova::win32
