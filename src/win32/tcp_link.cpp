// SPDX-License-Identifier: MIT
#include "win32/tcp_link.hpp"

#include "core/host_port.hpp"
#include "win32/text.hpp"

#include <ws2tcpip.h>
#include <utility>

namespace tova::win32 {
namespace {

// Winsock for the program's life.
void startWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

std::optional<HostPort> target(const std::string& url) {
    constexpr std::string_view scheme = "tcp://";
    if (url.size() < scheme.size() || _strnicmp(url.c_str(), scheme.data(), scheme.size()) != 0) return std::nullopt;
    auto hp = parseHostPort(std::string_view(url).substr(scheme.size()));
    if (!hp || hp->host.empty() || hp->port <= 0) return std::nullopt;
    return hp;
}

} // namespace

TcpLink::TcpLink(std::string url, Dispatcher& dispatcher) : m_url(std::move(url)), m_dispatcher(dispatcher) {
    startWinsock();
}

TcpLink::~TcpLink() {
    m_events = {};
    close();
    m_alive.reset();
    if (m_connecting.joinable()) m_connecting.join(); // at most the connect time-out
}

TcpLink::Connected TcpLink::connectNow() const {
    const auto hp = target(m_url);
    if (!hp) return {INVALID_SOCKET, Fault{SerialFault::Other, "Invalid address " + m_url + " (expected tcp://HOST:PORT)"}};
    addrinfo hints{}, *found = nullptr;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    if (getaddrinfo(hp->host.c_str(), std::to_string(hp->port).c_str(), &hints, &found) != 0 || !found)
        return {INVALID_SOCKET, Fault{SerialFault::NoDevice, "Host " + hp->host + " not found"}};
    const SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    int error = 0;
    if (connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval wait{kConnectTimeoutMs / 1000, (kConnectTimeoutMs % 1000) * 1000};
            const int n = select(0, nullptr, &writable, &failed, &wait);
            error = 0;
            if (n == 0) error = WSAETIMEDOUT;
            else if (FD_ISSET(s, &failed)) {
                int len = sizeof error;
                getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len);
                if (!error) error = WSAECONNREFUSED;
            }
        }
    }
    freeaddrinfo(found);
    if (error) {
        closesocket(s);
        const SerialFault kind = error == WSAECONNREFUSED ? SerialFault::Refused
                                 : error == WSAETIMEDOUT  ? SerialFault::NoAnswer
                                                          : SerialFault::Other;
        return {INVALID_SOCKET, Fault{kind, systemText(static_cast<DWORD>(error))}};
    }
    const BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    return {s, std::nullopt};
}

std::optional<Link::Fault> TcpLink::open(const LineSettings&) {
    if (isOpen()) return std::nullopt;
    Connected c = connectNow();
    if (c.fault) return c.fault;
    start(c.socket);
    return std::nullopt;
}

void TcpLink::openLater(const LineSettings&, std::function<void(std::optional<Fault>)> done) {
    // The connection is made off the window's thread: a device server that does not answer holds
    // nothing up for the time it may take.
    if (m_connecting.joinable()) m_connecting.join();
    m_connecting = std::thread([this, alive = std::weak_ptr<bool>(m_alive), done = std::move(done)]() mutable {
        Connected c = connectNow();
        m_dispatcher.post([this, alive, c, done = std::move(done)] {
            if (!alive.lock()) {
                if (c.socket != INVALID_SOCKET) closesocket(c.socket);
                return;
            }
            if (!c.fault) start(c.socket);
            done(c.fault);
        });
    });
}

void TcpLink::start(SOCKET s) {
    m_socket = s;
    m_error.clear();
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_io = std::thread([this, s, stop = m_stop] { ioLoop(s, stop); });
}

void TcpLink::ioLoop(SOCKET s, HANDLE stop) {
    const std::weak_ptr<bool> alive = m_alive;
    const HANDLE ready = WSACreateEvent();
    WSAEventSelect(s, ready, FD_READ | FD_WRITE | FD_CLOSE);
    auto lost = [&](const std::string& why) {
        m_dispatcher.post([this, alive, why] {
            if (alive.lock() && isOpen()) lose(why);
        });
    };
    for (;;) {
        const HANDLE both[2] = {ready, stop};
        if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0) break;
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(s, ready, &events);
        if (events.lNetworkEvents & FD_READ) {
            char bytes[4096];
            const int n = recv(s, bytes, sizeof bytes, 0);
            if (n > 0) {
                std::lock_guard lock(m_mutex);
                m_in.append(bytes, static_cast<std::size_t>(n));
                if (!std::exchange(m_told, true))
                    m_dispatcher.post([this, alive] {
                        if (alive.lock() && m_events.readable) m_events.readable();
                    });
            } else if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
                lost(systemText(static_cast<DWORD>(WSAGetLastError())));
                break;
            }
        }
        if (events.lNetworkEvents & FD_WRITE) {
            std::lock_guard lock(m_mutex);
            if (!m_out.empty()) {
                const int n = send(s, m_out.data(), static_cast<int>(m_out.size()), 0);
                if (n > 0) m_out.erase(0, static_cast<std::size_t>(n));
            }
        }
        if (events.lNetworkEvents & FD_CLOSE) {
            lost("The remote host closed the connection");
            break;
        }
    }
    WSACloseEvent(ready);
}

bool TcpLink::write(std::string_view bytes) {
    if (!isOpen()) return false;
    std::lock_guard lock(m_mutex);
    if (m_out.empty()) {
        const int n = send(m_socket, bytes.data(), static_cast<int>(bytes.size()), 0);
        if (n == static_cast<int>(bytes.size())) return true;
        if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
            m_error = systemText(static_cast<DWORD>(WSAGetLastError()));
            return false;
        }
        bytes.remove_prefix(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    m_out.append(bytes); // sent as the socket takes it, from the link's thread
    return true;
}

std::string TcpLink::readAll() {
    std::lock_guard lock(m_mutex);
    m_told = false;
    return std::exchange(m_in, {});
}

bool TcpLink::bytesWaiting() const {
    std::lock_guard lock(m_mutex);
    return isOpen() && !m_out.empty();
}

void TcpLink::lose(const std::string& why) {
    m_error = why;
    close();
    if (m_events.lost) m_events.lost(why);
}

void TcpLink::close() {
    if (!isOpen()) return;
    SetEvent(m_stop);
    if (m_io.joinable()) m_io.join();
    closesocket(m_socket);
    CloseHandle(m_stop);
    m_socket = INVALID_SOCKET;
    m_stop = nullptr;
    std::lock_guard lock(m_mutex);
    m_in.clear();
    m_out.clear();
    m_told = false;
}

} // namespace tova::win32
