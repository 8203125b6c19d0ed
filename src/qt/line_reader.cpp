// SPDX-License-Identifier: MIT
#include "qt/line_reader.hpp"

#include <QTimer>

#include <cerrno>
#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <io.h>
#endif

namespace tova {

LineReader::LineReader(int fd, std::size_t maxLine, Callbacks callbacks)
    : m_tell(std::move(callbacks)), m_fd(fd), m_max(maxLine), m_notifier(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readSome(); });
}

void LineReader::setPaused(bool paused) {
    if (!m_notifier) return;
    m_notifier->setEnabled(!paused);
    // A file as standard input is always readable: what it holds is read on resumption.
    if (!paused) QTimer::singleShot(0, m_notifier.get(), [this] { readSome(); });
}

void LineReader::readSome() {
    if (!m_notifier || !m_notifier->isEnabled()) return;
    char buf[4096];
    const auto n = ::read(m_fd, buf, sizeof buf); // readable: this does not wait
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) {
        m_notifier.reset();
        if (!m_partial.empty() && m_tell.line) m_tell.line(std::exchange(m_partial, {}));
        if (m_tell.end) m_tell.end();
        return;
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        if (buf[i] == '\n') {
            if (m_tell.line) m_tell.line(std::exchange(m_partial, {}));
            if (!m_notifier) return;
        } else if (m_partial.size() <= m_max) { // one byte past the limit tells the taker
            m_partial.push_back(buf[i]);
        }
    }
}

} // namespace tova
