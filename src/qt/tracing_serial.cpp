// SPDX-License-Identifier: MIT
#include "qt/tracing_serial.hpp"

#include "link/traffic.hpp"

#include <QDateTime>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tova {
namespace {

const char* kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

} // namespace

TracingSerial::TracingSerial(SerialControl& inner, const QString& path) : m_inner(inner), m_path(path) {
    m_fd = open(path);
}

int TracingSerial::open(const QString& path) {
    const QByteArray p = path.toLocal8Bit();
    auto refuse = [&](const std::string& why) {
        throw std::runtime_error(why + "; a trace is written to a regular file only");
    };
    struct stat st {};
    if (::stat(p.constData(), &st) == 0 && !S_ISREG(st.st_mode)) refuse(std::string("it is ") + kindOf(st.st_mode));
    // Opened without waiting, so that a FIFO put there meanwhile cannot hang the program.
    const int fd = ::open(p.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error(std::strerror(errno));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const mode_t mode = st.st_mode;
        ::close(fd);
        refuse(std::string("it is ") + kindOf(mode));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void TracingSerial::reopen() {
    // A rotated trace is written anew under its name; one that cannot be opened is told about.
    try {
        const int fd = open(m_path);
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
        m_failed = false;
    } catch (const std::exception& e) {
        if (m_onFailure) m_onFailure("The trace " + m_path.toStdString() + " cannot be reopened: " + e.what());
    }
}

TracingSerial::~TracingSerial() {
    if (m_fd >= 0) ::close(m_fd);
}

void TracingSerial::note(const char* what, const std::string& text) {
    if (m_failed) return;
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    const std::string line = stamp.toStdString() + ' ' + what + " \"" + text + "\"\n";
    // One write per line, straight to the file: a trace must survive a crash or a pulled plug.
    // A line that does not go out whole is taken back, so the file holds whole lines only.
    const off_t before = ::lseek(m_fd, 0, SEEK_END);
    const ssize_t n = ::write(m_fd, line.data(), line.size());
    if (n == static_cast<ssize_t>(line.size())) return;
    const std::string why = n < 0 ? std::strerror(errno) : "the file cannot grow (no space, or a size limit)";
    if (n > 0 && before >= 0 && ::ftruncate(m_fd, before) != 0) {
        // Nothing more can be done about a file that cannot even be cut back.
    }
    m_failed = true;
    m_failure = "The trace " + m_path.toStdString() + " stopped: " + why +
                ". It keeps every line written before; the panel goes on without it.";
    if (m_onFailure) m_onFailure(m_failure);
}

void TracingSerial::setOnFailure(std::function<void(const std::string&)> tell) {
    m_onFailure = std::move(tell);
    if (m_failed && m_onFailure) m_onFailure(m_failure);
}

void TracingSerial::setSettings(const LineSettings& s) {
    m_inner.setSettings(s);
    note("SET", formatSettings(s));
}

void TracingSerial::setPortOpen(bool open) {
    const bool wasOpen = m_inner.portOpen();
    const std::string port =
        "COM" + std::to_string(m_inner.commPort()) + " " + m_inner.devicePath(m_inner.commPort());
    try {
        m_inner.setPortOpen(open);
    } catch (const SerialError& e) {
        note("ERR", e.what()); // names its port
        throw;
    }
    if (open) note("OPEN", port);
    else if (wasOpen) note("CLOSE", port); // a port that never opened is not closed either
}

void TracingSerial::output(std::string_view text) {
    try {
        m_inner.output(text);
    } catch (const SerialError& e) {
        note("ERR", e.what());
        throw;
    }
    m_lastSent = trafficText(text);
    note("TX", m_lastSent);
}

std::string TracingSerial::input() {
    std::string in = m_inner.input();
    if (!in.empty()) note("RX", trafficText(in));
    return in;
}

void TracingSerial::noteNoReply() { note("TIMEOUT", "no reply to" + m_lastSent); }

void TracingSerial::setOnComm(std::function<void()> handler) {
    m_inner.setOnComm([this, handler = std::move(handler)] {
        if (m_inner.commEvent() == comEventLost) note("LOST", describe(m_inner.lastFailure()));
        if (handler) handler();
    });
}

} // namespace tova
