// SPDX-License-Identifier: MIT
#include "sim_qt/device_link.hpp"

#include <cerrno>
#include <cstring>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tova {

DeviceLink::DeviceLink(QString path, QString target) : m_path(std::move(path)), m_target(std::move(target)) {
    if (m_path.isEmpty()) return;
#ifdef Q_OS_UNIX
    const QByteArray p = m_path.toLocal8Bit();
    struct stat st {};
    if (::lstat(p.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            m_error = QStringLiteral("%1 is there and is no symbolic link; it is left as it is").arg(m_path);
            return;
        }
        if (::unlink(p.constData()) != 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
    }
    if (::symlink(m_target.toLocal8Bit().constData(), p.constData()) != 0)
        m_error = QString::fromLocal8Bit(std::strerror(errno));
#else
    m_error = QStringLiteral("a link to the device is made on POSIX systems only");
#endif
}

DeviceLink::~DeviceLink() {
    if (m_path.isEmpty() || !m_error.isEmpty()) return;
#ifdef Q_OS_UNIX
    char buf[4096];
    const QByteArray p = m_path.toLocal8Bit();
    const ssize_t n = ::readlink(p.constData(), buf, sizeof buf);
    if (n > 0 && QByteArray(buf, int(n)) == m_target.toLocal8Bit()) ::unlink(p.constData());
#endif
}

} // namespace tova
