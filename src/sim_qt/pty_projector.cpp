// SPDX-License-Identifier: MIT
#include "sim_qt/pty_projector.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace tova {
namespace {

int baudOf(speed_t s) {
    switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

} // namespace

PtyProjector::PtyProjector(sim::ProjectorLine::Options options, ProjectorLog log, QObject* parent)
    : ProjectorEndpoint(options, std::move(log), parent) {
    m_slave = ::open(m_pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    const speed_t speed = options.baud == 9600 ? B9600 : B19200;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    ::tcsetattr(m_slave, TCSANOW, &t);
    m_notifier = std::make_unique<QSocketNotifier>(m_pty.master(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buf[4096];
        const ssize_t n = ::read(m_pty.master(), buf, sizeof buf);
        if (n > 0) received(buf, static_cast<std::size_t>(n));
    });
}

PtyProjector::~PtyProjector() {
    m_notifier.reset();
    if (m_slave >= 0) ::close(m_slave);
}

int PtyProjector::lineBaud() const {
    termios t{};
    if (::tcgetattr(m_slave, &t) != 0) return model().baud();
    const int b = baudOf(::cfgetospeed(&t));
    return b ? b : model().baud();
}

qint64 PtyProjector::send(const char* data, qint64 n) {
    return ::write(m_pty.master(), data, static_cast<std::size_t>(n));
}

} // namespace tova
