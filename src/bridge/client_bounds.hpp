// SPDX-License-Identifier: MIT
#pragma once
// What one client may hold of the bridge, and what a stream of wrong digests earns an address:
// bounds kept by the logic, so that a client that never reads, or one that guesses, costs the
// bridge little and never its other clients.
#include "core/clock.hpp"
#include "core/timer.hpp"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>

namespace tova::bridge {

// What is read from a PJLink or shared-line client at a time, and at most held unread for it.
inline constexpr std::size_t kClientReadChunk = 4096;
// What one web request may hold, head and body: Qt's server holds a request until it is whole.
inline constexpr std::size_t kMaxWebRequest = 16 * 1024;

// A client's replies that it has not taken yet. Past kPauseAt nothing more is read from it; at
// kCloseAt, or when it takes nothing for kStallMs while some wait, it is closed.
class OutputBound {
  public:
    static constexpr std::size_t kPauseAt = 64 * 1024, kCloseAt = 1024 * 1024;
    static constexpr int kStallMs = 10000;

    // close: the client is to be closed, and why.
    OutputBound(Timer& stall, std::function<void(const std::string& why)> close);
    ~OutputBound();
    OutputBound(const OutputBound&) = delete;
    OutputBound& operator=(const OutputBound&) = delete;

    // After replies were queued for the client: unsent bytes wait now.
    void queued(std::size_t unsent);
    // The client took some: unsent bytes wait still.
    void took(std::size_t unsent);
    // Whether to read what the client sends.
    static bool reading(std::size_t unsent) { return unsent < kPauseAt; }

  private:
    Timer& m_stall;
    std::function<void(const std::string& why)> m_close;
    bool m_closed = false;
};

// Wrong digests by address (a global IPv6 address by its /64): kLimit in kWindow, and the
// address's new connections are refused for kBan. At most kAddresses are kept; the oldest go first, but never one that is banned: a
// ban runs its time whatever others do (with every place held by a ban, a new address is not
// kept until one ends).
class DigestBackoff {
  public:
    static constexpr int kLimit = 10;
    static constexpr std::chrono::milliseconds kWindow{60000}, kBan{60000};
    static constexpr std::size_t kAddresses = 1024;

    explicit DigestBackoff(const Clock& clock) : m_clock(clock) {}
    // A wrong or missing digest from address; true when it starts the address's ban.
    bool wrong(const std::string& address);
    bool banned(const std::string& address);
    std::size_t addresses() const { return m_records.size(); }

  private:
    struct Record {
        std::deque<std::chrono::milliseconds> wrong;
        std::chrono::milliseconds bannedUntil{-1};
        std::chrono::milliseconds last{0};
    };
    const Clock& m_clock;
    std::map<std::string, Record> m_records;
};

} // namespace tova::bridge
