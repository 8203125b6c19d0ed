// SPDX-License-Identifier: MIT
#pragma once
// tova-send's rules: the codes of one run, one exchange after another on the shared exchange
// engine; what each outcome prints (the panel's words, the traffic text, the raw bytes or a JSON
// line), what goes to standard error, and the exit status of the whole run.
#include "core/serial_control.hpp"
#include "link/exchange_queue.hpp"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tova::send {

// Exit statuses, each with one meaning. Of several outcomes the first in this order wins:
// device failed, a code timed out, a code refused, all well.
enum Exit : int { kOk = 0, kTimedOut = 1, kDeviceFailed = 2, kRefused = 3 };
int worse(int a, int b);

// A script's tool waits longer than the panel for an ordinary reply; an input change still
// gets its own, longer time-out.
inline constexpr int kDefaultTimeoutMs = 2000;

struct Options {
    std::vector<std::string> codes; // as typed, in UTF-8
    std::string prefix;             // the address
    std::optional<int> timeoutMs;   // the same for every code, or each code's own
    bool noReply = false;
    bool raw = false;
    bool json = false;
    bool verbose = false;
};

class SendRun {
  public:
    // The line is open; the run reads it through the queue from start() on.
    SendRun(SerialControl& line, ExchangeQueue& queue, Options options);
    SendRun(const SendRun&) = delete;
    SendRun& operator=(const SendRun&) = delete;

    std::function<void(const std::string&)> print;  // one line for standard output, without its LF
    std::function<void(const std::string&)> tell;   // one message for standard error
    std::function<void(int status)> finished;       // the run has ended with this exit status

    // Drops what waits on the line, waits for quiet, then sends the codes in turn.
    void start();

  private:
    void next();
    void outcome(const std::string& code, const std::string& framed, int timeoutMs, const ExchangeResult& r);
    void note(const std::string& text);
    void dropped(const Dropped& d);
    void noteDropped(); // what was dropped since the last note, counted
    void end();

    SerialControl& m_line;
    ExchangeQueue& m_queue;
    Options m_o;
    std::size_t m_next = 0;
    int m_status = kOk;
    bool m_ended = false;
    std::map<Dropped::Why, std::size_t> m_dropped;
    std::size_t m_waitingAtStart = 0;
};

} // namespace tova::send
