// SPDX-License-Identifier: MIT
#include "send/send_run.hpp"

#include "core/json.hpp"
#include "link/address.hpp"
#include "link/query_table.hpp"
#include "link/traffic.hpp"
#include "tables/line_requests.hpp"

#include <charconv>
#include <utility>

namespace tova::send {
namespace {

enum class Said { Ok, Refused, Timeout, Sent, Device };
const char* name(Said s) {
    switch (s) {
    case Said::Ok: return "ok";
    case Said::Refused: return "refused";
    case Said::Timeout: return "timeout";
    case Said::Sent: return "sent";
    case Said::Device: return "device";
    }
    return "";
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

constexpr ClientId kSelf = 1;

} // namespace

// What one code came to, as printed.
struct SendRun::Outcome {
    std::string code, framed;
    Said said = Said::Ok;
    std::string traffic, bytes;        // the reply, as traffic text and as received
    std::optional<std::string> decoded;
    std::optional<std::string> value;  // a query's: what a plain run prints and --until compares
    ReplyNumbers numbers;
    std::string message;               // what went to standard error about it
    std::optional<long long> ms;
    // The text a plain run prints for it, which --until compares.
    std::string text() const {
        const bool replied = said == Said::Ok || said == Said::Refused;
        if (!replied) return {};
        return value ? *value : trimmed(decoded ? *decoded : traffic);
    }
};

int worse(int a, int b) {
    auto rank = [](int s) { return s == kDeviceFailed ? 3 : s == kTimedOut ? 2 : s == kRefused ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

SendRun::SendRun(SerialControl& line, Timer& timeout, Timer& guard, Timer& again, const Clock& clock, Options options,
                 Callbacks callbacks)
    : m_line(line), m_tell(std::move(callbacks)),
      m_queue(line, timeout, guard, clock, {.dropped = [this](const Dropped& d) { dropped(d); }}), m_again(again),
      m_o(std::move(options)) {
    m_waiting.assign(m_o.codes.begin(), m_o.codes.end());
    m_inputOpen = m_o.fromInput;
    m_again.setEnabled(false);
    m_again.setOnTick([this] {
        m_again.setEnabled(false);
        if (!m_waiting.empty()) attempt(m_waiting.front());
    });
}

SendRun::~SendRun() { m_again.setOnTick({}); }

void SendRun::start() {
    m_line.setEvents({[this](const std::string& bytes) { m_queue.received(bytes); },
                      [this](const SerialFailure&) { m_queue.setLineUp(false); }});
    // Whatever waits is some earlier run's; and where something waited, more may be on its way:
    // then the line must fall quiet first. On a quiet line the first code goes at once, and a
    // late reply that arrives meanwhile is told apart by its form.
    m_waitingAtStart = m_line.discardInput();
    if (m_waitingAtStart > 0) m_queue.settle();
    m_started = true;
    m_since = m_queue.clock().now();
    next();
}

void SendRun::input(std::string line) {
    ++m_inputLines;
    // A CR just before the line's end ends it too, as Windows batch files write lines.
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || m_ended || m_badInput) return;
    if (const auto at = controlCharacter(line)) {
        if (m_tell.tell)
            m_tell.tell("line " + std::to_string(m_inputLines) + " of standard input, " + quotedTyped(line) + ", holds a control character (" + *at +
                        "): a code is one line; neither it nor any after it was sent");
        // The lines before it still go; none after it is read.
        m_badInput = true;
        m_inputOpen = false;
        if (m_started) next();
        return;
    }
    if (line.size() > kMaxInputLine) {
        if (m_tell.tell) m_tell.tell("a line of standard input over " + std::to_string(kMaxInputLine) + " bytes is no code: skipped");
        return;
    }
    m_waiting.push_back(std::move(line));
    if (m_started) next();
}

void SendRun::inputEnded() {
    m_inputOpen = false;
    if (m_started) next();
}

void SendRun::note(const std::string& text) {
    if (m_o.verbose && m_tell.tell) m_tell.tell(text);
}

void SendRun::dropped(const Dropped& d) { m_dropped[d.why] += d.bytes.size(); }

void SendRun::noteDropped() {
    const std::size_t atStart = std::exchange(m_waitingAtStart, 0);
    if (atStart > 0) note("discarded " + std::to_string(atStart) + " bytes waiting after opening");
    for (auto [why, n] : std::exchange(m_dropped, {})) {
        const char* when = why == Dropped::AfterReply    ? " after the reply"
                           : why == Dropped::NobodyAsked ? " waiting"
                           : m_sent <= 1 && why == Dropped::WhileQuiet ? " waiting after opening"
                                                                       : " arriving late";
        if (n > 0) note("discarded " + std::to_string(n) + " bytes" + when);
    }
}

void SendRun::next() {
    if (m_ended || m_sending || m_again.enabled()) return;
    if (m_waiting.empty()) {
        if (!m_inputOpen) end();
        return;
    }
    attempt(m_waiting.front());
}

void SendRun::attempt(const std::string& typed) {
    // Typed text: one byte per character; a CRLF file's line ending is not a second line.
    std::string code = typedBytes(typed);
    while (!code.empty() && (code.back() == '\r' || code.back() == '\n')) code.pop_back();
    Request request = requestFor(m_o.prefix, code, kDefaultTimeoutMs);
    if (m_o.timeoutMs) request.timeoutMs = *m_o.timeoutMs;
    request.awaitReply = !m_o.noReply;
    const std::string framed = request.line;
    const int ms = request.timeoutMs;
    note("sending" + trafficText(framed));
    m_sending = true;
    m_tryAt = m_queue.clock().now();
    ++m_sent;
    auto done = [this, code, framed, ms](const ExchangeResult& r) {
        m_sending = false;
        const Outcome o = outcome(code, framed, ms, r);
        if (m_o.until) return untilDone(o);
        m_waiting.pop_front();
        report(o);
        if (o.said == Said::Device) return end(); // the rest are not tried
        if (m_tell.room && m_inputOpen && wantsInput()) m_tell.room();
        next();
    };
    if (m_queue.submit(kSelf, std::move(request), done) == Submitted::LineDown) done({ExchangeResult::LineDown});
}

SendRun::Outcome SendRun::outcome(const std::string& code, const std::string& framed, int timeoutMs, const ExchangeResult& r) {
    noteDropped();
    Outcome o;
    o.code = code;
    o.framed = framed;
    if (r.outcome == ExchangeResult::LineDown || r.outcome == ExchangeResult::NotTaken) {
        o.said = Said::Device;
        o.message = r.failure;
        if (r.outcome == ExchangeResult::NotTaken)
            o.message = "the device did not take the line within " + std::to_string(timeoutMs) + " ms";
        else if (o.message.empty())
            o.message = describeDevice(m_line.lastFailure());
        m_status = worse(m_status, kDeviceFailed);
        return o;
    }
    o.traffic = trafficText(r.bytes);
    o.bytes = r.bytes;
    if (r.outcome == ExchangeResult::Sent) {
        o.said = Said::Sent;
        return o;
    }
    if (r.outcome == ExchangeResult::TimedOut) {
        o.said = Said::Timeout;
        o.message = "no reply to " + code + " within " + std::to_string(timeoutMs) + " ms";
        m_status = worse(m_status, kTimedOut);
        return o;
    }
    o.ms = r.took.count();
    if (r.reply.kind == ReplyKind::Refused || r.reply.kind == ReplyKind::NoData) {
        // A bare ACK to a query answers nothing a script asked for: it counts as refused.
        o.said = Said::Refused;
        o.message = code + " was refused:" + o.traffic;
        m_status = worse(m_status, kRefused);
    } else if (r.reply.kind == ReplyKind::Answered) {
        o.decoded = decodeReply(framed, m_o.prefix, o.traffic, 0).words;
        if (const Query* q = findQuery(code)) {
            o.numbers = replyNumbers(*q, r.bytes);
            o.value = replyValue(*q, r.bytes, o.decoded.value_or(""));
        }
    }
    return o;
}

void SendRun::report(const Outcome& o) {
    if (!o.message.empty() && m_tell.tell) m_tell.tell(o.message);
    if (!m_tell.print) return;
    const bool replied = o.said == Said::Ok || o.said == Said::Refused;
    if (m_o.json) {
        // Every text of a line is its bytes, as the line carried them.
        auto bytesOrNull = [](bool given, const std::string& s) { return given ? jsonBytes(s) : Json(); };
        Json temps;
        if (const auto& t = o.numbers.temperatures) {
            temps = Json::array();
            for (const auto& each : *t) temps.push_back(jsonNumber(each));
        }
        m_tell.print(dumpJson({{"code", bytesOrNull(!o.code.empty(), o.code)},
                        {"line", bytesOrNull(!o.framed.empty(), o.framed)},
                        {"reply", bytesOrNull(replied, o.traffic)},
                        {"decoded", bytesOrNull(o.decoded.has_value(), trimmed(o.decoded.value_or("")))},
                        {"value", bytesOrNull(o.value.has_value(), o.value.value_or(""))},
                        {"lampHours", o.numbers.lampHours ? Json(*o.numbers.lampHours) : Json()},
                        {"temperatures", temps},
                        {"pressureHpa", o.numbers.pressureHpa ? Json(*o.numbers.pressureHpa) : Json()},
                        {"status", name(o.said)},
                        {"message", bytesOrNull(!o.message.empty(), o.message)},
                        {"ms", o.ms ? Json(*o.ms) : Json()}}));
    } else if (o.said == Said::Device) {
        return; // the message said it
    } else if (!replied) {
        m_tell.print("");
    } else if (m_o.raw) {
        m_tell.print(o.bytes);
    } else {
        m_tell.print(o.text());
    }
}

void SendRun::untilDone(const Outcome& o) {
    note("tried: " + (o.text().empty() ? std::string("no reply") : o.text()));
    const auto elapsed = m_queue.clock().now() - m_since;
    int status = -1;
    Outcome last = o;
    if (o.said == Said::Device) status = kDeviceFailed;
    else if (o.said == Said::Refused) status = kRefused;
    else if (o.text() == *m_o.until) status = kOk;
    else if (elapsed.count() + m_o.everyMs > m_o.withinMs) {
        status = kNotReached;
        const std::string reached = "not \"" + *m_o.until + "\" within " + std::to_string(m_o.withinMs) + " ms";
        last.message = last.message.empty() ? reached : last.message + "; " + reached;
    }
    if (status < 0) { // the next try a period after this one began
        const auto wait = m_tryAt + std::chrono::milliseconds(m_o.everyMs) - m_queue.clock().now();
        m_again.setInterval(static_cast<int>(std::max<long long>(1, wait.count())));
        m_again.setEnabled(true);
        return;
    }
    m_status = status;
    report(last);
    end();
}

void SendRun::openFailed(const SerialFailure& f) {
    Outcome o;
    if (!m_waiting.empty()) o.code = m_waiting.front();
    o.said = Said::Device;
    o.message = describeDevice(f);
    m_status = kDeviceFailed;
    report(o);
    end();
}

void SendRun::end() {
    if (m_ended) return;
    m_ended = true;
    if (m_badInput) m_status = kUsage;
    m_again.setEnabled(false);
    noteDropped();
    m_queue.forget(kSelf);
    if (m_tell.finished) m_tell.finished(m_status);
}

} // namespace tova::send
