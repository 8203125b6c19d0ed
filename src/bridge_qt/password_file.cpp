// SPDX-License-Identifier: MIT
#include "bridge_qt/password_file.hpp"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tova {

std::variant<std::string, QString> readPasswordFile(const QString& path, bridge::SecretLength length) {
    using R = std::variant<std::string, QString>;
#ifdef Q_OS_UNIX
    // Opened without waiting, so that a FIFO cannot hang the start.
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return R(std::in_place_index<1>, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    std::string content;
    QString why;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = QStringLiteral("is no regular file");
    } else if (st.st_size > static_cast<off_t>(bridge::kMaxPasswordFile)) {
        why = QStringLiteral("is over 4 KB: no password file");
    } else {
        char buf[bridge::kMaxPasswordFile + 1];
        ssize_t n = 0;
        while (content.size() <= bridge::kMaxPasswordFile &&
               (n = ::read(fd, buf, sizeof buf - content.size())) > 0)
            content.append(buf, static_cast<std::size_t>(n));
        if (n < 0) why = QString::fromLocal8Bit(std::strerror(errno));
    }
    ::close(fd);
#else
    // No FIFO can stand there on Windows; what is no file is refused before it is opened.
    std::string content;
    QString why = notARegularFile(path, static_cast<long>(bridge::kMaxPasswordFile));
    QFile f(path);
    if (why.isEmpty() && !f.open(QIODevice::ReadOnly)) why = f.errorString();
    if (why.isEmpty()) content = f.read(static_cast<qint64>(bridge::kMaxPasswordFile) + 1).toStdString();
#endif
    if (!why.isEmpty()) return R(std::in_place_index<1>, why);
    auto password = bridge::passwordFromFile(content, length);
    if (auto* wrong = std::get_if<1>(&password)) return R(std::in_place_index<1>, QString::fromStdString(*wrong));
    return R(std::in_place_index<0>, std::get<0>(password));
}

QString notARegularFile(const QString& path, long maxBytes) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0) return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return QStringLiteral("is no regular file");
    if (st.st_size > maxBytes) return QStringLiteral("is over %1 bytes").arg(maxBytes);
#else
    const QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("No such file or directory");
    if (!info.isFile()) return QStringLiteral("is no regular file");
    if (info.size() > maxBytes) return QStringLiteral("is over %1 bytes").arg(maxBytes);
#endif
    return {};
}

bool readableByAll([[maybe_unused]] const QString& path) {
#ifdef Q_OS_UNIX
    struct stat st {};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0 && (st.st_mode & S_IROTH);
#else
    return false; // access is by the file's ACL there, which the user sets in Explorer
#endif
}

} // namespace tova
