// SPDX-License-Identifier: MIT
#pragma once
// tova-bridge as a process, and PJLink clients written here from the protocol.
#include "processes.hpp"

#include "bridge/digest.hpp"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace tova::test {

// A file only its owner may read, as password files must be: its path.
inline QString writeFile(QTemporaryDir& dir, const char* name, const QByteArray& content) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

// tova-bridge started as a process; the ports it listens on, in the order of its options.
struct BridgeProcess {
    QProcess p;
    std::vector<quint16> ports;
    QByteArray log;
    // shell: a command line run by bash before the bridge (the bridge is "$@" there).
    BridgeProcess(const QString& device, QStringList args, int listeners, const QString& shell = {}) {
        args = QStringList{QStringLiteral("--device"), device} + args;
        if (shell.isEmpty()) p.start(bin("tova-bridge"), args);
        else p.start(QStringLiteral("bash"), QStringList{QStringLiteral("-c"), shell, bin("tova-bridge")} + args);
        const bool up = QTest::qWaitFor([&] {
            read();
            return int(ports.size()) == listeners;
        }, 10000);
        EXPECT_TRUE(up) << log.toStdString();
    }
    void read() {
        log += p.readAllStandardError();
        ports.clear();
        // As the log says it to a terminal, or to the journal.
        static const QRegularExpression on(
            QStringLiteral("(?:tova-bridge: |<\\d>)(?:PJLink|shared line|web remote) on [^ ,]+:(\\d+)"));
        for (auto it = on.globalMatch(QString::fromUtf8(log)); it.hasNext();)
            ports.push_back(static_cast<quint16>(it.next().captured(1).toUInt()));
    }
    bool saw(const char* text) {
        return QTest::qWaitFor([&] {
            read();
            return log.contains(text);
        }, 10000);
    }
    ~BridgeProcess() {
        p.terminate();
        p.waitForFinished(5000);
    }
};

// A PJLink client, as the protocol describes it.
struct PjlinkClient {
    QTcpSocket s;
    QByteArray in;
    QString greeting;
    // from: the address it connects from, when not the system's choice.
    explicit PjlinkClient(quint16 port, const QHostAddress& host = QHostAddress::LocalHost, const QHostAddress& from = {}) {
        if (!from.isNull()) s.bind(from);
        s.connectToHost(host, port);
        EXPECT_TRUE(s.waitForConnected(3000));
        greeting = line();
    }
    QString line(int ms = 8000) {
        [[maybe_unused]] const bool arrived = QTest::qWaitFor([&] {
            in += s.readAll();
            return in.contains('\r') || s.state() != QAbstractSocket::ConnectedState;
        }, ms);
        in += s.readAll();
        const qsizetype cr = in.indexOf('\r');
        if (cr < 0) return {};
        const QString l = QString::fromLatin1(in.left(cr + 1));
        in.remove(0, cr + 1);
        return l;
    }
    QString ask(const QString& request) {
        s.write((request + QLatin1Char('\r')).toLatin1());
        return line();
    }
    // The request behind the MD5 digest of the greeting's random number and the password.
    QString askWith(const std::string& password, const char* request) {
        const std::string random = greeting.mid(9, 8).toStdString();
        return ask(QString::fromStdString(bridge::md5Hex(random + password)) + QString::fromLatin1(request));
    }
};

inline QString answerOf(PjlinkClient& c, const char* request) { return c.ask(QString::fromLatin1(request)); }


// The resident memory of a process, in kB.
inline long residentKb(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace tova::test
