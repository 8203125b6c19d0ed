// SPDX-License-Identifier: MIT
#pragma once
// What the attack rows do as a client does at the socket: connect from an address of their
// choosing, read a status line, keep a password in a file only its owner reads.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace tova::bench {

// A connection to an address of this machine (loopback unless told) from a source address of
// our choosing, with the smallest receive window when stubborn. IPv6 where the addresses are.
inline int rawConnect(quint16 port, const char* from = nullptr, bool stubborn = false, const char* to = "127.0.0.1") {
    const bool v6 = std::string(to).find(':') != std::string::npos;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    if (stubborn) {
        const int small = 1024;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    sockaddr_storage local{}, remote{};
    socklen_t size = 0;
    auto fill = [&](sockaddr_storage& a, const char* text, quint16 p) {
        if (v6) {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&a);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(p);
            ::inet_pton(AF_INET6, text, &in6->sin6_addr);
            size = sizeof(sockaddr_in6);
        } else {
            auto* in4 = reinterpret_cast<sockaddr_in*>(&a);
            in4->sin_family = AF_INET;
            in4->sin_port = htons(p);
            ::inet_pton(AF_INET, text, &in4->sin_addr);
            size = sizeof(sockaddr_in);
        }
    };
    if (from) {
        fill(local, from, 0);
        ::bind(fd, reinterpret_cast<sockaddr*>(&local), size);
    }
    fill(remote, to, port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), size) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What a blocking read gives within ms: the first status line of a response.
inline QByteArray statusLine(int fd, int ms) {
    timeval t{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    QByteArray in;
    char c;
    while (!in.endsWith("\r\n") && ::recv(fd, &c, 1, 0) == 1) in += c;
    return in.trimmed();
}

// A password file only its owner may read, as the bridge wants it.
inline QString secretFile(QTemporaryDir& dir, const char* secret, const char* name = "password") {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(secret) + '\n');
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

} // namespace tova::bench
