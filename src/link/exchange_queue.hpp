// SPDX-License-Identifier: MIT
#pragma once
// One exchange on the line at a time, for one client or many: tova-send, the bridge's PJLink
// sessions and shared-line clients. A line goes out when the previous one has its reply (by
// the reply rule, in a form the line accepts) or its time-out has passed and the line has been
// quiet for a guard time since; the reply goes to the client whose line it answers. Turns go by
// fair queuing on a virtual clock, self-clocked as packet schedulers do: when the line is free,
// each client's next line has a start tag, the later of the virtual time and the finish tag of
// the client's last line on the wire, and a finish tag, its start plus the time the line may
// hold the wire (its time-out); the smallest finish tag goes next, and the virtual time becomes
// its finish tag. A new client, or one that has just connected again, starts at the virtual
// time, never ahead of everyone, and waiting earns no credit: a client asking one short query at
// a time waits at most for the exchange on the wire, however many clients flood the line with
// long lines. Each client's lines go in order. Characters nobody asked for are dropped and
// reported.
#include "core/clock.hpp"
#include "core/serial_control.hpp"
#include "core/timer.hpp"
#include "link/line_limits.hpp"
#include "link/reply_rule.hpp"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tova {

using ClientId = int;

struct Request {
    std::string line;               // whole: address, code, CR
    int timeoutMs = kReplyTimeoutMs;
    Expect expect;
    bool awaitReply = true;         // false: done once its bytes have left
    // A background line (the poller's) goes only when no other line waits, unless it has waited
    // this long already; then it takes its turn like any other.
    bool background = false;
    int patienceMs = 0;
    // The address it was framed with ("", "AFFF", "A001".."A004"): whose reply it gets.
    std::string target{};
};

struct ExchangeResult {
    enum Outcome {
        Replied,  // a complete reply: its kind and bytes
        Sent,     // a line that awaits no reply has left
        TimedOut, // no complete reply within the time-out
        NotTaken, // the device did not take the line within the time-out
        LineDown, // the device is gone, or failed as the line was handed over
    } outcome = TimedOut;
    Reply reply{};
    std::string bytes{};               // the reply's bytes
    std::chrono::milliseconds took{0}; // from the hand-over to the end
    std::string failure{};             // LineDown by a failed hand-over: the failure, described
    bool withheld = false;             // TimedOut without going on the wire: its projector does not answer
};
using Done = std::function<void(const ExchangeResult&)>;

enum class Submitted {
    Queued,    // it will go out in its turn
    Shared,    // an identical query waits or is on the wire: its reply serves this line too
    Duplicate, // a command identical to one of the client's own still waiting: dropped
    Full,      // the client has kMaxWaiting lines waiting: refused
    LineDown,  // the device is not there: refused
};

// Received bytes that answer no line.
struct Dropped {
    enum Why {
        NobodyAsked, // no exchange was open
        AfterReply,  // behind a complete reply
        WhileQuiet,  // while the line had to fall quiet: a late reply, or noise
        Stray,       // a reply of a form the open line does not accept: another line's
    } why;
    std::string bytes;
};
// A log line for received bytes that answered no line.
std::string describe(const Dropped& d);

class ExchangeQueue {
  public:
    static constexpr std::size_t kMaxWaiting = 16;
    // However much a line keeps talking, the wait for quiet ends after this.
    static constexpr int kMaxQuietMs = 1000;
    // How often a line that awaits no reply is looked at until its bytes have left.
    static constexpr int kLeavePollMs = 5;

    // What the queue tells the one who runs it; each may be left empty.
    struct Callbacks {
        std::function<void(const std::string&)> log{};      // a failed hand-over
        std::function<void(const std::string&)> logEach{};  // every line and reply, for a verbose log
        std::function<void(const Dropped&)> dropped{};      // bytes that answered no line
        // Every exchange as it ends, before its clients are told: for the bridge's traffic strip
        // and its counters.
        std::function<void(const Request&, const ExchangeResult&)> exchanged{};
        // Whether a line, its turn come, is withheld from the wire (its projector does not
        // answer): it is answered at once as no reply, holding the line for nobody.
        std::function<bool(const Request&)> withhold{};
    };

    // The line must stay open while it is up; timeout and guard are the queue's own timers.
    ExchangeQueue(SerialControl& line, Timer& timeout, Timer& guard, const Clock& clock, Callbacks callbacks);
    ExchangeQueue(SerialControl& line, Timer& timeout, Timer& guard, const Clock& clock)
        : ExchangeQueue(line, timeout, guard, clock, Callbacks{}) {}
    ExchangeQueue(const ExchangeQueue&) = delete;
    ExchangeQueue& operator=(const ExchangeQueue&) = delete;

    // The client's line, answered in done when its exchange ends (never from within submit).
    Submitted submit(ClientId client, Request request, Done done);
    // The client has gone: its waiting lines are dropped; a reply on its way reaches nobody.
    void forget(ClientId client);
    // The client's waiting lines that are line go unsent and unanswered (a line on the wire stays).
    void withdraw(ClientId client, std::string_view line);
    // Bytes from the line.
    void received(std::string_view bytes);
    // The device is gone (every open and waiting line ends so) or back.
    void setLineUp(bool up);
    bool lineUp() const { return m_up; }
    // No line goes out before the line has been quiet for the guard time: what arrives until
    // then (a late reply to a line sent before) is dropped.
    void settle();

    std::size_t exchanges() const { return m_exchanges; } // lines put on the wire so far
    const Clock& clock() const { return m_clock; }

  private:
    struct Waiter {
        ClientId client;
        Done done;
    };
    struct Line {
        Request request;
        bool query;
        std::vector<Waiter> waiters;
        std::chrono::milliseconds since{0}; // when it was asked
    };
    using LinePtr = std::shared_ptr<Line>;

    void pump();                        // the next line out, when the line is free
    void finish(ExchangeResult result); // the open exchange ends
    void timedOut();
    void startQuiet();
    void quiet();
    void drop(Dropped::Why why, std::string_view bytes);
    // The client whose waiting line goes next, and that line's finish tag.
    std::pair<ClientId, long long> nextClient();

    SerialControl& m_line;
    Callbacks m_tell;
    Timer& m_timeout;
    Timer& m_guard;
    const Clock& m_clock;
    bool m_up = true;
    bool m_guarding = false;
    bool m_telling = false; // an ended exchange's clients are being told: nothing goes out yet
    bool m_withheld = false; // the open line never went on the wire
    std::chrono::milliseconds m_quietBy{0};             // the wait for quiet ends by then
    std::map<ClientId, std::deque<LinePtr>> m_queues; // each client's waiting lines, in order
    std::map<ClientId, long long> m_finished;         // the finish tag of each client's last line on the wire
    long long m_virtual = 0;                          // the virtual time
    std::map<ClientId, std::size_t> m_asked;          // each client's lines not answered yet
    ClientId m_lastServed = 0;                          // of equals, the next after it goes
    LinePtr m_open;                                     // the line on the wire
    std::vector<ClientId> m_quietFor;                   // the clients whose time-out the guard follows
    std::chrono::milliseconds m_quietSince{0};
    std::chrono::milliseconds m_openedAt{0};
    std::string m_in;                                   // its reply so far
    std::size_t m_exchanges = 0;
};

} // namespace tova
