// SPDX-License-Identifier: MIT
// A PJLink connection: greeting, authentication, requests in, answers out in their order.
#include "bridge/pjlink/pjlink_session.hpp"

#include "bridge/digest.hpp"
#include "link/traffic.hpp"
#include "tables/line_requests.hpp"

#include <algorithm>
#include <utility>

namespace tova::bridge {
namespace {

bool lowerHex(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// The text starts with a digest prefix of n characters: lower-case hexadecimal digits, and then
// a request or nothing.
bool prefixed(std::string_view text, std::size_t n) {
    return text.size() >= n && lowerHex(text.substr(0, n)) && (text.size() == n || text[n] == '%');
}

} // namespace

PjlinkSession::PjlinkSession(ClientId id, const ProjectorConfig& config, ProjectorState& state,
                             ExchangeQueue& queue, Timer& idle, std::function<std::string(std::size_t)> random,
                             Callbacks callbacks)
    : m_tell(std::move(callbacks)), m_id(id), m_config(config), m_state(state), m_queue(queue), m_idle(idle), m_random(std::move(random)),
      m_authenticated(!config.password) {
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
    if (m_config.password) m_greetingRandom = m_random(8);
    m_tell.send(m_config.password ? "PJLINK 1 " + m_greetingRandom + "\r" : std::string("PJLINK 0\r"));
    m_idle.setInterval(m_authenticated ? kIdleMs : kAuthenticateMs);
    m_idle.setEnabled(true);
}

void PjlinkSession::hangUp() {
    if (m_closed) return;
    m_closed = true;
    m_idle.setEnabled(false);
    m_tell.close();
}

std::size_t PjlinkSession::lineLimit() const {
    if (!m_authenticated) return m_shaRandom.empty() ? kMaxMd5Line : kMaxShaLine;
    return m_digest.empty() ? kMaxLine : kMaxMd5Line; // a repeated MD5 prefix
}

void PjlinkSession::received(std::string_view bytes) {
    for (char c : bytes) {
        if (m_closed) return;
        if (c == '\n' && m_partial.empty()) continue; // a line feed after the CR of the last line
        if (c != kCR) {
            // A line longer than a request can be is no request: the connection ends.
            if (m_partial.size() + 1 >= lineLimit()) return hangUp();
            m_partial.push_back(c);
            continue;
        }
        line(std::exchange(m_partial, {}));
    }
}

bool PjlinkSession::authenticate(std::string& text) {
    const std::string& password = *m_config.password;
    bool right = false;
    std::size_t length = 0;
    if (!m_shaRandom.empty()) {
        // Version 2.10: the controller's 16 random bytes C in hexadecimal, then the SHA-256 of
        // C xor P (P ours, from the "PJLINK 2" answer) in hexadecimal joined with the password.
        length = 96;
        std::string c, p;
        if (prefixed(text, length) && fromHex(std::string_view(text).substr(0, 32), c) && fromHex(m_shaRandom, p)) {
            for (std::size_t i = 0; i < c.size(); ++i) c[i] = static_cast<char>(c[i] ^ p[i]);
            right = text.substr(32, 64) == sha256Hex(hexOf(c) + password);
        }
    } else {
        length = 32;
        const std::string digest = md5Hex(m_greetingRandom + password);
        right = prefixed(text, length) && text.substr(0, length) == digest;
        if (right) m_digest = digest;
    }
    if (!right) {
        if (m_tell.wrongDigest) m_tell.wrongDigest();
        m_tell.send("PJLINK ERRA\r");
        hangUp();
        return false;
    }
    m_authenticated = true;
    m_idle.setInterval(kIdleMs);
    text.erase(0, length);
    return true;
}

void PjlinkSession::line(std::string text) {
    if (text == "PJLINK 2") {
        // A controller that speaks version 2.10 asks for the stronger scheme.
        if (!m_config.password) return m_tell.send("PJLINK 0\r");
        if (m_authenticated || !m_shaRandom.empty()) {
            m_tell.send("PJLINK ERRA\r");
            return hangUp();
        }
        m_shaRandom = m_random(32);
        return m_tell.send("PJLINK 2 " + m_shaRandom + "\r");
    }
    if (!m_authenticated) {
        if (!authenticate(text)) return;
        if (text.empty()) return m_idle.setEnabled(true);
    } else if (prefixed(text, 32)) {
        // Some controllers send the digest before every request: the connection's own is taken.
        if (m_digest.empty() || text.substr(0, 32) != m_digest) {
            if (m_tell.wrongDigest) m_tell.wrongDigest();
            m_tell.send("PJLINK ERRA\r");
            return hangUp();
        }
        text.erase(0, 32);
    } else if (text.size() >= kMaxLine) {
        return hangUp(); // only a repeated digest makes a line longer than a request
    }
    m_idle.setEnabled(true); // a whole request: not idle
    if (m_tell.request) m_tell.request();
    request(text);
    next();
}

void PjlinkSession::request(const std::string& text) {
    if (text.size() < 6 || text[0] != '%') return; // no command to answer for
    Pending p{text[1], text.substr(2, 4), text.size() > 7 ? text.substr(7) : std::string(), std::nullopt};
    if (text.size() < 8 || text[6] != ' ') p.answer = "ERR2";
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
        const Pending& p = m_pending.front();
        m_tell.send(std::string("%") + p.header + p.command + "=" + *p.answer + "\r");
        m_pending.pop_front();
    }
    if (full && wantsInput() && m_tell.room) m_tell.room();
}

void PjlinkSession::exchange(std::string_view code, std::function<void(const ExchangeResult&)> then) {
    const Submitted s = m_queue.submit(m_id, requestFor(m_config.prefix, code), then);
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

} // namespace tova::bridge
