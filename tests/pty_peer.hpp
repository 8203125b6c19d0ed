// SPDX-License-Identifier: MIT
#pragma once
// The far end of a pseudo-terminal, standing where a projector would be.
#include "sim_qt/pseudo_terminal.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace tova::test {

// Runs every event that is due now, without sleeping: a fault that repeats itself (an error
// raised again and again, a second box) shows within these turns.
inline void drainEvents() {
    for (int i = 0; i < 50; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

class PtyPeer {
  public:
    QString path() const { return QString::fromStdString(m_pty.slavePath()); }
    int fd() const { return m_pty.master(); }

    void write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd(), bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else if (errno == EAGAIN) pollFor(POLLOUT, 100);
            else throw std::runtime_error("pty write failed");
        }
    }
    // As much of bytes as the line takes now, without waiting (a flood); the count.
    std::size_t writeSome(const std::string& bytes) {
        const ssize_t n = ::write(fd(), bytes.data(), bytes.size());
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    // Everything readable now, without waiting.
    std::string readNow() {
        std::string out;
        char buf[4096];
        for (;;) {
            ssize_t n = ::read(fd(), buf, sizeof buf);
            if (n <= 0) return out;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }
    // Reads, running the event loop, until n bytes arrived or the time is up.
    std::string readBytes(std::size_t n, int ms = 5000) {
        std::string out;
        QDeadlineTimer deadline(ms);
        while (out.size() < n && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            out += readNow();
            if (out.size() < n) pollFor(POLLIN, 2);
        }
        return out;
    }
    // The line speed the panel has set on its side.
    int speed() const {
        termios t{};
        ::tcgetattr(fd(), &t);
        speed_t s = ::cfgetospeed(&t);
        return s == B9600 ? 9600 : s == B19200 ? 19200 : 0;
    }
    void hangUp() { m_pty.hangUp(); }

  private:
    void pollFor(short events, int ms) {
        pollfd p{fd(), events, 0};
        ::poll(&p, 1, ms);
    }
    PseudoTerminal m_pty;
};

} // namespace tova::test
