// SPDX-License-Identifier: MIT
#include "bridge_qt/bridge_log.hpp"

#include <cstdlib>

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>

#include <cstdio>
#include <string>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tova {
namespace {

std::string stamped(const std::string& text, bridge::Priority priority = bridge::Priority::Notice) {
    static const bool journal = toJournal();
    const QString stamp = journal ? QString() : QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return bridge::logText(text, priority, journal, stamp.toStdString());
}

#ifdef Q_OS_UNIX

class LogWriter {
  public:
    static constexpr std::size_t kMaxWaiting = 256 * 1024;

    LogWriter() {
        struct stat st {};
        if (::fstat(2, &st) != 0) return;
        if (S_ISSOCK(st.st_mode)) {
            m_socket = true; // sent without waiting, call by call
        } else if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
            // A description of our own, so that not waiting is ours alone: the terminal or pipe
            // is shared with the program that started us.
            const int fd = ::open("/proc/self/fd/2", O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            if (fd >= 0) m_fd = fd;
        }
    }

    void add(std::string line) {
        if (m_bytes + line.size() > kMaxWaiting) {
            ++m_dropped;
            return;
        }
        m_bytes += line.size();
        m_waiting.push_back(std::move(line));
        flush();
    }

  private:
    // Bytes written now, without waiting; -1 when standard error takes none now.
    ssize_t put(const std::string& s) {
        if (m_socket) return ::send(2, s.data(), s.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        return ::write(m_fd, s.data(), s.size());
    }

    void flush() {
        while (!m_waiting.empty()) {
            const ssize_t n = put(m_waiting.front());
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK) return waitWritable();
                m_waiting.clear(); // standard error is gone: nothing more can be told
                m_bytes = 0;
                return;
            }
            m_bytes -= static_cast<std::size_t>(n);
            if (static_cast<std::size_t>(n) < m_waiting.front().size()) {
                m_waiting.front().erase(0, static_cast<std::size_t>(n));
                return waitWritable();
            }
            m_waiting.pop_front();
            if (m_waiting.empty() && m_dropped > 0) {
                const std::string said = stamped(std::to_string(m_dropped) + " log lines dropped: standard error did not take them",
                                                 bridge::Priority::Warning);
                m_dropped = 0;
                m_bytes += said.size();
                m_waiting.push_back(said);
            }
        }
    }

    void waitWritable() {
        if (!QCoreApplication::instance()) return; // the next line tries again
        const int fd = m_socket ? 2 : m_fd;
        if (!m_writable) {
            m_writable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
            QObject::connect(m_writable.get(), &QSocketNotifier::activated, [this] {
                m_writable->setEnabled(false);
                flush();
            });
        }
        m_writable->setEnabled(true);
    }

    int m_fd = 2;
    bool m_socket = false;
    std::deque<std::string> m_waiting;
    std::size_t m_bytes = 0, m_dropped = 0;
    std::unique_ptr<QSocketNotifier> m_writable;
};

#else
// Windows has no notifier for a pipe or a console: each line is written as it comes.
class LogWriter {
  public:
    void add(const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
};
#endif

} // namespace

bool toJournal() {
#ifdef Q_OS_UNIX
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    if (colon <= 0) return false;
    struct stat st {};
    if (::fstat(2, &st) != 0) return false;
    bool devOk = false, inoOk = false;
    const qulonglong dev = stream.left(colon).toULongLong(&devOk), ino = stream.mid(colon + 1).toULongLong(&inoOk);
    return devOk && inoOk && dev == qulonglong(st.st_dev) && ino == qulonglong(st.st_ino);
#else
    return false;
#endif
}

void logLine(const QString& text, bridge::Priority priority) {
    static LogWriter writer;
    writer.add(stamped(text.toStdString(), priority));
}

namespace {
std::function<void(const QString&, const QString&)>& qtRoute() {
    static std::function<void(const QString&, const QString&)> route;
    return route;
}
} // namespace

void routeQtMessages(std::function<void(const QString& kind, const QString& text)> limited) {
    qtRoute() = std::move(limited);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtDebugMsg || type == QtInfoMsg) return;
        const QString text = QStringLiteral("Qt: ") + message;
        // A message of one kind says the same thing, whatever numbers it carries.
        QString kind = message.left(48);
        for (QChar& c : kind)
            if (c.isDigit()) c = QLatin1Char('#');
        if (qtRoute() && type != QtFatalMsg) qtRoute()(QStringLiteral("qt ") + kind, text);
        else logLine(text, bridge::Priority::Error);
        if (type == QtFatalMsg) std::abort();
    });
}

} // namespace tova
