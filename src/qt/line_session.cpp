// SPDX-License-Identifier: MIT
#include "qt/line_session.hpp"

#include "core/constants.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace tova {

LineSession::LineSession(QtSerialControl& serial, std::function<void(const std::string&)> note)
    : m_serial(serial), m_note(std::move(note)) {
    m_serial.setOnComm([this] {
        if (m_serial.commEvent() == comEventLost) {
            m_lost = true;
            return;
        }
        // A flood without CR must not reach memory: what is beyond the cap is counted only.
        const std::string in = m_serial.input();
        const std::size_t room = kRxBufferLimit - std::min(kRxBufferLimit, m_in.size());
        m_in.append(in, 0, room);
        m_dropped += in.size() - std::min(room, in.size());
        if (m_wait && m_waitingFor && m_waitingFor()) m_wait->quit(); // at once, not at the next look
    });
}

bool LineSession::waitUntil(const std::function<bool()>& done, int ms) {
    if (done()) return true;
    QEventLoop loop;
    QTimer deadline, poll;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Received bytes and a lost device arrive as events; the driver's queue has none, so it is
    // looked at every few milliseconds, sleeping in between.
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || m_lost) loop.quit();
    });
    deadline.start(ms);
    poll.start(5);
    m_wait = &loop;
    m_waitingFor = done;
    loop.exec();
    m_wait = nullptr;
    m_waitingFor = nullptr;
    return done();
}

std::string LineSession::take() {
    m_dropped = 0;
    return std::exchange(m_in, {});
}

std::size_t LineSession::discardWaiting() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // what the network holds
    const std::size_t n = m_in.size() + m_dropped + m_serial.discardInput();
    take();
    return n;
}

std::size_t LineSession::discardUntilQuiet(int quietMs, int limitMs) {
    QElapsedTimer all;
    all.start();
    std::size_t n = 0;
    for (;;) {
        const std::size_t before = m_in.size() + m_dropped;
        waitUntil([] { return false; }, quietMs);
        const std::size_t now = m_in.size() + m_dropped;
        n += now;
        take();
        if (now == before || m_lost || all.elapsed() >= limitMs) return n;
    }
}

LineSession::Outcome LineSession::exchange(std::string_view line, int timeoutMs, bool awaitReply) {
    Outcome o;
    QElapsedTimer clock;
    clock.start();
    try {
        m_serial.output(line);
    } catch (const SerialError& e) {
        o.what = Outcome::DeviceFailed;
        o.failure = e.what();
        return o;
    }
    // The bytes leave before the reply can come; a peer that never reads holds them back.
    const bool left = waitUntil([&] { return !m_serial.bytesWaiting() || m_lost; }, timeoutMs);
    if (m_lost || !left) {
        o.what = Outcome::DeviceFailed;
        o.failure = m_lost ? describe(m_serial.lastFailure())
                           : "the device did not take the line within " + std::to_string(timeoutMs) + " ms";
        return o;
    }
    if (!awaitReply) {
        o.what = Outcome::Replied;
        return o;
    }
    const int rest = std::max(0, timeoutMs - int(clock.elapsed()));
    waitUntil([&] { return readReply(m_in).kind != ReplyKind::Incomplete; }, rest);
    if (m_lost) {
        o.what = Outcome::DeviceFailed;
        o.failure = describe(m_serial.lastFailure());
        return o;
    }
    o.ms = clock.elapsed();
    o.reply = readReply(m_in);
    if (o.reply.kind == ReplyKind::Incomplete) {
        o.what = Outcome::TimedOut;
        o.bytes = take();
        return o;
    }
    o.what = Outcome::Replied;
    o.bytes = m_in.substr(0, o.reply.length);
    if (const std::size_t extra = m_in.size() - o.reply.length + m_dropped; extra > 0 && m_note)
        m_note("discarded " + std::to_string(extra) + " bytes after the reply");
    take();
    return o;
}

} // namespace tova
