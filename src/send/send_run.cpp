// SPDX-License-Identifier: MIT
#include "send/send_run.hpp"

#include "link/address.hpp"
#include "link/decoder.hpp"
#include "link/traffic.hpp"
#include "panel/vocabulary.hpp"
#include "core/json_text.hpp"

#include <utility>

namespace tova::send {
namespace {

enum class Said { Ok, Refused, Timeout, Sent };
const char* name(Said s) {
    switch (s) {
    case Said::Ok: return "ok";
    case Said::Refused: return "refused";
    case Said::Timeout: return "timeout";
    case Said::Sent: return "sent";
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

int worse(int a, int b) {
    auto rank = [](int s) { return s == kDeviceFailed ? 3 : s == kTimedOut ? 2 : s == kRefused ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

SendRun::SendRun(SerialControl& line, ExchangeQueue& queue, Options options)
    : m_line(line), m_queue(queue), m_o(std::move(options)) {}

void SendRun::start() {
    m_line.setOnComm([this] {
        if (m_line.commEvent() == comEvReceive) m_queue.received(m_line.input());
        else if (m_line.commEvent() == comEventLost) m_queue.setLineUp(false);
    });
    m_queue.onDropped = [this](const Dropped& d) { dropped(d); };
    // What waits, and a reply still on its way to a line sent before we opened.
    m_waitingAtStart = m_line.discardInput();
    m_queue.settle();
    next();
}

void SendRun::note(const std::string& text) {
    if (m_o.verbose && tell) tell(text);
}

void SendRun::dropped(const Dropped& d) { m_dropped[d.why] += d.bytes.size(); }

void SendRun::noteDropped() {
    const std::size_t atStart = std::exchange(m_waitingAtStart, 0);
    for (auto [why, n] : std::exchange(m_dropped, {})) {
        if (why == Dropped::WhileQuiet && m_next <= 1) n += atStart;
        const char* when = why == Dropped::AfterReply  ? " after the reply"
                           : why == Dropped::NobodyAsked ? " waiting"
                           : m_next <= 1                 ? " waiting after opening"
                                                         : " arriving late";
        if (n > 0) note("discarded " + std::to_string(n) + " bytes" + when);
    }
}

void SendRun::next() {
    if (m_ended) return;
    if (m_next == m_o.codes.size()) return end();
    // Typed text: one byte per character; a CRLF file's line ending is not a second line.
    std::string code = typedBytes(m_o.codes[m_next++]);
    while (!code.empty() && (code.back() == '\r' || code.back() == '\n')) code.pop_back();
    const std::string framed = frameLine(m_o.prefix, code);
    const int ms = m_o.timeoutMs ? *m_o.timeoutMs : replyTimeoutFor(code, kDefaultTimeoutMs);
    note("sending" + trafficText(framed));
    Request request{framed, ms, expectFor(code), !m_o.noReply};
    const Submitted s = m_queue.submit(kSelf, std::move(request), [this, code, framed, ms](const ExchangeResult& r) {
        outcome(code, framed, ms, r);
        next();
    });
    if (s == Submitted::LineDown) outcome(code, framed, ms, {ExchangeResult::LineDown});
}

void SendRun::outcome(const std::string& code, const std::string& framed, int timeoutMs, const ExchangeResult& r) {
    noteDropped();
    if (r.outcome == ExchangeResult::LineDown || r.outcome == ExchangeResult::NotTaken) {
        std::string why = r.failure;
        if (r.outcome == ExchangeResult::NotTaken)
            why = "the device did not take the line within " + std::to_string(timeoutMs) + " ms";
        else if (why.empty())
            why = describe(m_line.lastFailure());
        if (tell) tell(why);
        m_status = worse(m_status, kDeviceFailed);
        return end(); // the rest are not tried
    }
    const std::string traffic = trafficText(r.bytes);
    std::optional<std::string> decoded;
    Said said = Said::Ok;
    if (r.outcome == ExchangeResult::Sent) {
        said = Said::Sent;
    } else if (r.outcome == ExchangeResult::TimedOut) {
        if (tell) tell("no reply to " + code + " within " + std::to_string(timeoutMs) + " ms");
        m_status = worse(m_status, kTimedOut);
        said = Said::Timeout;
    } else if (r.reply.kind == ReplyKind::Refused || r.reply.kind == ReplyKind::NoData) {
        // A bare ACK to a query answers nothing a script asked for: it counts as refused.
        if (tell) tell(code + " was refused:" + traffic);
        m_status = worse(m_status, kRefused);
        said = Said::Refused;
    } else if (r.reply.kind == ReplyKind::Answered) {
        decoded = decodeReply(framed, m_o.prefix, traffic, 0).label22;
    }
    const bool replied = said == Said::Ok || said == Said::Refused;
    if (!print) return;
    if (m_o.json) {
        print("{\"code\":" + jsonString(code) + ",\"line\":" + jsonString(framed) +
              ",\"reply\":" + (replied ? jsonString(traffic) : "null") +
              ",\"decoded\":" + (decoded ? jsonString(trimmed(*decoded)) : "null") + ",\"status\":\"" +
              name(said) + "\",\"ms\":" + (replied ? std::to_string(r.took.count()) : "null") + "}");
    } else if (!replied) {
        print("");
    } else if (m_o.raw) {
        print(r.bytes);
    } else {
        print(trimmed(decoded ? *decoded : traffic));
    }
}

void SendRun::end() {
    if (m_ended) return;
    m_ended = true;
    noteDropped();
    m_queue.forget(kSelf);
    if (finished) finished(m_status);
}

} // namespace tova::send
