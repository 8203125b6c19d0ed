// SPDX-License-Identifier: MIT
#pragma once
// One exchange on the line at a time, for many clients. A line goes out when the previous one
// has its reply (by the reply rule) or its time-out has passed and the line has been quiet for a
// guard time since; the reply goes to the client whose line it answers. Clients take turns, each
// client's lines in order. Characters nobody asked for are logged and dropped.
#include "core/serial_control.hpp"
#include "core/timer.hpp"
#include "link/reply_rule.hpp"

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tova::bridge {

using ClientId = int;

struct ExchangeResult {
    enum Outcome { Replied, TimedOut, LineDown } outcome = TimedOut;
    Reply reply;       // kind and length, when it replied
    std::string bytes; // the reply's bytes
};
using Done = std::function<void(const ExchangeResult&)>;

enum class Submitted {
    Queued,    // it will go out in its turn
    Shared,    // an identical query of another client waits or is on the wire: its reply serves both
    Duplicate, // identical to one of the client's own lines still waiting: dropped
    Full,      // the client has kMaxWaiting lines waiting: refused
    LineDown,  // the device is not there: refused
};

class ExchangeQueue {
  public:
    static constexpr std::size_t kMaxWaiting = 16;
    static constexpr int kGuardMs = 100;

    // The line must stay open while it is up; timeout and guard are the queue's own timers.
    ExchangeQueue(SerialControl& line, Timer& timeout, Timer& guard);
    ExchangeQueue(const ExchangeQueue&) = delete;
    ExchangeQueue& operator=(const ExchangeQueue&) = delete;

    std::function<void(const std::string&)> log; // what nobody asked for; with verbose, each exchange
    bool verbose = false;

    // A whole line (address, code, CR) of the client's, answered in done when its exchange ends
    // (done is never called from within submit).
    Submitted submit(ClientId client, std::string line, int timeoutMs, Done done);
    // The client has gone: its waiting lines are dropped; a reply on its way reaches nobody.
    void forget(ClientId client);
    // Bytes from the line.
    void received(std::string_view bytes);
    // The device is gone (every open and waiting line ends so) or back.
    void setLineUp(bool up);
    bool lineUp() const { return m_up; }

    std::size_t waiting(ClientId client) const;
    std::size_t exchanges() const { return m_exchanges; } // lines put on the wire so far

  private:
    struct Waiter {
        ClientId client;
        Done done;
    };
    struct Line {
        std::string bytes;
        int timeoutMs;
        bool query;
        std::vector<Waiter> waiters;
    };
    using LinePtr = std::shared_ptr<Line>;

    void pump();                        // the next line out, when the line is free
    void finish(ExchangeResult result); // the open exchange ends
    void timedOut();
    void quiet();

    SerialControl& m_line;
    Timer& m_timeout;
    Timer& m_guard;
    bool m_up = true;
    bool m_guarding = false;
    std::map<ClientId, std::deque<LinePtr>> m_queues; // each client's waiting lines, in order
    ClientId m_lastServed = 0;                          // clients are served in turn after it
    LinePtr m_open;                                     // the line on the wire
    std::string m_in;                                   // its reply so far
    std::size_t m_exchanges = 0;
};

} // namespace tova::bridge
