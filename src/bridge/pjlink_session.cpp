// SPDX-License-Identifier: MIT
#include "bridge/pjlink_session.hpp"

#include "bridge/digest.hpp"
#include "link/query_table.hpp"
#include "link/traffic.hpp"
#include "panel/command_table.hpp"
#include "panel/controls.hpp"
#include "panel/vocabulary.hpp"

#include <algorithm>
#include <utility>

namespace tova::bridge {
namespace {

bool lowerHex(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// A set command's answer: acknowledged, refused (the projector cannot now), or no answer.
std::string setAnswer(const ExchangeResult& r) {
    if (r.outcome != ExchangeResult::Replied) return "ERR4";
    if (r.reply.kind == ReplyKind::Acknowledged) return "OK";
    if (r.reply.kind == ReplyKind::Refused) return "ERR3";
    return "ERR4";
}

// A query's answer, read from the reply by read.
std::string queryAnswer(const ExchangeResult& r, const std::function<std::string(std::string_view)>& read) {
    if (r.outcome != ExchangeResult::Replied) return "ERR4";
    if (r.reply.kind == ReplyKind::Refused) return "ERR3";
    if (r.reply.kind != ReplyKind::Answered) return "ERR4";
    return read(r.bytes);
}

} // namespace

PjlinkSession::PjlinkSession(ClientId id, const ProjectorConfig& config, MuteState& mute,
                             ExchangeQueue& queue, Timer& idle, std::string random)
    : m_id(id), m_config(config), m_mute(mute), m_queue(queue), m_idle(idle),
      m_random(std::move(random)), m_authenticated(!config.password) {
    m_idle.setEnabled(false);
    m_idle.setOnTick([this] {
        if (!m_authenticated) return hangUp(); // no digest within its time
        if (m_running || !m_pending.empty()) m_idle.setEnabled(true); // answers on their way
        else hangUp();
    });
}

PjlinkSession::~PjlinkSession() {
    m_idle.setOnTick({});
    m_queue.forget(m_id);
}

void PjlinkSession::start() {
    send(m_config.password ? "PJLINK 1 " + m_random + "\r" : std::string("PJLINK 0\r"));
    m_idle.setInterval(m_authenticated ? kIdleMs : kAuthenticateMs);
    m_idle.setEnabled(true);
}

void PjlinkSession::hangUp() {
    if (m_closed) return;
    m_closed = true;
    m_idle.setEnabled(false);
    close();
}

void PjlinkSession::received(std::string_view bytes) {
    for (char c : bytes) {
        if (m_closed) return;
        if (c == '\n' && m_partial.empty()) continue; // a line feed after the CR of the last line
        const std::size_t limit = m_authenticated ? kMaxLine : kMaxFirstLine;
        if (c != kCR) {
            // A line longer than a request can be is no request: the connection ends.
            if (m_partial.size() + 1 >= limit) return hangUp();
            m_partial.push_back(c);
            continue;
        }
        line(std::exchange(m_partial, {}));
    }
}

void PjlinkSession::line(std::string text) {
    if (!m_authenticated) {
        const std::string expected = md5Hex(m_random + *m_config.password);
        if (text.size() < 32 || !lowerHex(text.substr(0, 32)) || text.substr(0, 32) != expected) {
            if (onWrongDigest) onWrongDigest();
            send("PJLINK ERRA\r");
            return hangUp();
        }
        m_authenticated = true;
        m_idle.setInterval(kIdleMs);
        text.erase(0, 32);
        if (text.empty()) return m_idle.setEnabled(true);
    }
    m_idle.setEnabled(true); // a whole request: not idle
    request(text);
    next();
}

void PjlinkSession::request(const std::string& text) {
    if (text.size() < 6 || text[0] != '%') return; // no command to answer for
    Pending p{text.substr(2, 4), text.size() > 7 ? text.substr(7) : std::string(), std::nullopt};
    if (text[1] != '1') p.answer = "ERR1"; // not class 1
    else if (text.size() < 8 || text[6] != ' ') p.answer = "ERR2";
    // More requests than may wait: refused, in their turn.
    const auto unanswered = std::count_if(m_pending.begin(), m_pending.end(), [](const Pending& q) { return !q.answer; });
    if (!p.answer && static_cast<std::size_t>(unanswered) >= kMaxWaiting) p.answer = "ERR3";
    m_pending.push_back(std::move(p));
}

void PjlinkSession::next() {
    while (!m_running && !m_closed) {
        auto it = std::find_if(m_pending.begin(), m_pending.end(), [](const Pending& p) { return !p.answer; });
        if (it == m_pending.end()) break;
        m_running = true;
        run(*it);
    }
    flush();
}

void PjlinkSession::flush() {
    const bool full = !wantsInput();
    while (!m_closed && !m_pending.empty() && m_pending.front().answer) {
        send("%1" + m_pending.front().command + "=" + *m_pending.front().answer + "\r");
        m_pending.pop_front();
    }
    if (full && wantsInput() && onRoom) onRoom();
}

void PjlinkSession::exchange(std::string_view code, std::function<void(const ExchangeResult&)> then) {
    Request request{frameLine(m_config.prefix, code), replyTimeoutFor(code), expectFor(code)};
    const Submitted s = m_queue.submit(m_id, std::move(request), then);
    if (s == Submitted::Queued || s == Submitted::Shared) return;
    // Not on the line: no device (ERR4), or this client has too many lines waiting (ERR3).
    ExchangeResult r;
    r.outcome = ExchangeResult::LineDown;
    if (s == Submitted::Full || s == Submitted::Duplicate) {
        r.outcome = ExchangeResult::Replied;
        r.reply.kind = ReplyKind::Refused;
    }
    then(r);
}

void PjlinkSession::run(Pending& p) {
    // The pending request stays where it is (a deque keeps its elements) until it is answered.
    auto done = [this, &p](const std::string& result) {
        p.answer = result;
        m_running = false;
        next();
    };
    const std::string& command = p.command;
    const std::string& parameter = p.parameter;
    const bool asked = parameter == "?"; // a query, not a setting
    auto ask = [&](QueryId id, std::function<std::string(std::string_view)> read) {
        exchange(tova::query(id).code, [done, read](const ExchangeResult& r) { done(queryAnswer(r, read)); });
    };
    auto set = [&](std::string_view button) {
        exchange(codeOf(button), [done](const ExchangeResult& r) { done(setAnswer(r)); });
    };
    if (command == "POWR") {
        if (asked) return ask(QueryId::Status, powerAnswer);
        if (parameter == "1" || parameter == "0") return set(parameter == "1" ? ctl::PowerOn : ctl::PowerOff);
        return done("ERR2");
    }
    if (command == "INPT") {
        if (asked)
            return ask(QueryId::InputMode, [this](std::string_view r) { return inputAnswer(r, m_config.inputs); });
        const auto& in = m_config.inputs;
        const auto it = std::find(in.begin(), in.end(), parameter);
        if (it == in.end()) return done("ERR2");
        return set(ctl::InputModeSet[static_cast<std::size_t>(it - in.begin())]);
    }
    if (command == "AVMT") {
        if (asked) return ask(QueryId::MuteAndSignal, [this](std::string_view r) { return muteAnswer(r, m_mute); });
        if (parameter.size() != 2 || parameter[0] < '1' || parameter[0] > '3' || (parameter[1] != '0' && parameter[1] != '1'))
            return done("ERR2");
        const bool on = parameter[1] == '1';
        const bool video = parameter[0] != '2', audio = parameter[0] != '1';
        auto audioStep = [this, done, on, audio]() {
            if (!audio) return done("OK");
            exchange(codeOf(on ? ctl::SoundMuteOn : ctl::SoundMuteOff), [this, done, on](const ExchangeResult& r) {
                const std::string a = setAnswer(r);
                if (a == "OK") m_mute.audio = on;
                done(a);
            });
        };
        if (!video) return audioStep();
        return exchange(codeOf(on ? ctl::NoShowOn : ctl::NoShowOff), [this, done, on, audioStep](const ExchangeResult& r) {
            const std::string a = setAnswer(r);
            if (a != "OK") return done(a); // both only when the first was acknowledged
            m_mute.video = on;
            audioStep();
        });
    }
    if (!asked) {
        const bool known = command == "ERST" || command == "LAMP" || command == "INST" || command == "NAME" ||
                           command == "INF1" || command == "INF2" || command == "INFO" || command == "CLSS";
        return done(known ? "ERR2" : "ERR1");
    }
    if (command == "ERST") return ask(QueryId::Status, errorStatusAnswer);
    if (command == "LAMP")
        return exchange(tova::query(QueryId::LampHours).code, [this, done](const ExchangeResult& hours) {
            if (hours.outcome != ExchangeResult::Replied || hours.reply.kind != ReplyKind::Answered)
                return done(queryAnswer(hours, {}));
            exchange(tova::query(QueryId::LampMode).code, [this, done, h = hours.bytes](const ExchangeResult& mode) {
                if (mode.outcome != ExchangeResult::Replied || mode.reply.kind != ReplyKind::Answered)
                    return done(queryAnswer(mode, {}));
                // A lamp in use is lit only while the projector is on or warming up.
                exchange(tova::query(QueryId::Status).code, [done, h, m = mode.bytes](const ExchangeResult& status) {
                    done(queryAnswer(status, [&](std::string_view s) { return lampAnswer(h, m, s); }));
                });
            });
        });
    if (command == "INST") {
        std::string list;
        for (const auto& i : m_config.inputs) list += (list.empty() ? "" : " ") + i;
        return done(list);
    }
    if (command == "NAME") return done(m_config.name);
    if (command == "INF1") return done("TOVA");
    if (command == "INF2") return ask(QueryId::PcType, modelAnswer);
    if (command == "INFO") return done(m_config.info);
    if (command == "CLSS") return done("1");
    return done("ERR1");
}

} // namespace tova::bridge
