// SPDX-License-Identifier: MIT
#pragma once
// tova-send's rules: the codes of one run, one exchange after another on the shared exchange
// engine; what each outcome prints (a query's value, the traffic text, the raw bytes or a JSON
// line), what goes to standard error, and the exit status of the whole run. Codes come from the
// command line or, one per line, from standard input; one code may be repeated until its reply
// reads as wanted.
#include "core/serial_control.hpp"
#include "core/timer.hpp"
#include "link/decoder.hpp"
#include "link/exchange_queue.hpp"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tova::send {

// Exit statuses, each with one meaning. Of several outcomes the first in this order wins:
// device failed, a code timed out, a code refused, all well. kNotReached only ends --until.
enum Exit : int { kOk = 0, kTimedOut = 1, kDeviceFailed = 2, kRefused = 3, kNotReached = 4, kUsage = 64 };
int worse(int a, int b);

// A script's tool waits longer than the panel for an ordinary reply; an input change still
// gets its own, longer time-out.
inline constexpr int kDefaultTimeoutMs = 2000;
// --until's defaults: a try a second, for a minute.
inline constexpr int kDefaultEveryMs = 1000, kDefaultWithinMs = 60000;
// Standard input: a line longer than this is no code; more codes than this waiting, and no more
// is read until some have gone.
inline constexpr std::size_t kMaxInputLine = 4096, kMaxWaitingCodes = 16;

struct Options {
    std::vector<std::string> codes; // as typed, in UTF-8
    std::string prefix;             // the address
    std::optional<int> timeoutMs;   // the same for every code, or each code's own
    bool noReply = false;
    bool raw = false;
    bool json = false;
    bool verbose = false;
    bool fromInput = false;             // --stdin: more codes come through input()
    std::optional<std::string> until;   // repeat the one code until it prints this
    int everyMs = kDefaultEveryMs, withinMs = kDefaultWithinMs;
};

class SendRun {
  public:
    struct Callbacks {
        std::function<void(const std::string&)> print{}; // one line for standard output, without its LF
        std::function<void(const std::string&)> tell{};  // one message for standard error
        std::function<void(int status)> finished{};      // the run has ended with this exit status
        std::function<void()> room{};                    // --stdin: it takes codes again
    };
    // The run reads the line through its own exchange queue from start() on (timeout and guard
    // are the queue's timers); again times --until's tries.
    SendRun(SerialControl& line, Timer& timeout, Timer& guard, Timer& again, const Clock& clock, Options options,
            Callbacks callbacks);
    ~SendRun();
    SendRun(const SendRun&) = delete;
    SendRun& operator=(const SendRun&) = delete;

    // Drops what waits on the line (and waits for quiet only if something did), then sends
    // the codes in turn.
    void start();
    // The device could not be opened: said as any outcome is, and the run ends.
    void openFailed(const SerialFailure& f);
    // --stdin: one more line of input, and the input's end.
    void input(std::string line);
    void inputEnded();
    bool wantsInput() const { return m_waiting.size() < kMaxWaitingCodes; }

  private:
    struct Outcome;
    void next();
    void attempt(const std::string& code);
    Outcome outcome(const std::string& code, const std::string& framed, int timeoutMs, const ExchangeResult& r);
    void report(const Outcome& o);
    void untilDone(const Outcome& o);
    void note(const std::string& text);
    void dropped(const Dropped& d);
    void noteDropped(); // what was dropped since the last note, counted
    void end();

    SerialControl& m_line;
    Callbacks m_tell;
    ExchangeQueue m_queue;
    Timer& m_again;
    Options m_o;
    std::deque<std::string> m_waiting; // codes not sent yet
    bool m_inputOpen = false;
    bool m_sending = false;  // a code is on its way
    bool m_started = false;
    std::size_t m_sent = 0;
    int m_status = kOk;
    bool m_ended = false;
    std::map<Dropped::Why, std::size_t> m_dropped;
    std::size_t m_waitingAtStart = 0;
    std::size_t m_inputLines = 0; // --stdin: lines read so far
    bool m_badInput = false;      // --stdin: a line held a control character
    std::chrono::milliseconds m_since{0}; // --until: the first try
    std::chrono::milliseconds m_tryAt{0}; // the latest try
};

} // namespace tova::send
