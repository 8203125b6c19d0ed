#pragma once
// The far end of a pseudo-terminal, standing where a projector would be.
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

class PtyPeer {
  public:
    PtyPeer() {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0 || ::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)
            throw std::runtime_error("no pseudo-terminal");
        m_path = QString::fromLocal8Bit(::ptsname(m_fd));
    }
    ~PtyPeer() { hangUp(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    QString path() const { return m_path; }
    int fd() const { return m_fd; }

    void write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else if (errno == EAGAIN) pollFor(POLLOUT, 100);
            else throw std::runtime_error("pty write failed");
        }
    }
    // Everything readable now, without waiting.
    std::string readNow() {
        std::string out;
        char buf[4096];
        for (;;) {
            ssize_t n = ::read(m_fd, buf, sizeof buf);
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
        ::tcgetattr(m_fd, &t);
        speed_t s = ::cfgetospeed(&t);
        return s == B9600 ? 9600 : s == B19200 ? 19200 : 0;
    }
    void hangUp() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

  private:
    void pollFor(short events, int ms) {
        pollfd p{m_fd, events, 0};
        ::poll(&p, 1, ms);
    }
    int m_fd = -1;
    QString m_path;
};

} // namespace tova::test
