// SPDX-License-Identifier: MIT
#include "bridge_qt/password_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tova {

std::variant<std::string, QString> readPasswordFile(const QString& path, bridge::SecretLength length) {
    using R = std::variant<std::string, QString>;
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
    if (!why.isEmpty()) return R(std::in_place_index<1>, why);
    auto password = bridge::passwordFromFile(content, length);
    if (auto* wrong = std::get_if<1>(&password)) return R(std::in_place_index<1>, QString::fromStdString(*wrong));
    return R(std::in_place_index<0>, std::get<0>(password));
}

QString notARegularFile(const QString& path, long maxBytes) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0) return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return QStringLiteral("is no regular file");
    if (st.st_size > maxBytes) return QStringLiteral("is over %1 bytes").arg(maxBytes);
    return {};
}

bool readableByAll(const QString& path) {
    struct stat st {};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0 && (st.st_mode & S_IROTH);
}

} // namespace tova
