// SPDX-License-Identifier: MIT
#pragma once
// tova-bridge on the virtual projector, as the bridge's benchmarks run it, and what they read of
// it: its memory, its ports, its log.
#include "bench_rig.hpp"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <fstream>
#include <memory>
#include <vector>

namespace tova::bench {

inline long residentKbOf(qint64 pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string key; in >> key;) {
        if (key == "VmRSS:") {
            long kb = 0;
            in >> kb;
            return kb;
        }
    }
    return 0;
}

// tova-sim on a pseudo-terminal, and tova-bridge on it with one PJLink listener (and what
// bridgeArgs add). Their logs go to files: a pipe nobody reads would stop them once it is full.
struct Bridged {
    QTemporaryDir dir;
    QProcess sim, bridge;
    QString device;
    quint16 port = 0, sharePort = 0, webPort = 0; // the shared line's and the web's when bridgeArgs ask for them
    quint16 absentPort = 0; // a PJLink listener for projector 004, not on the line, when bridgeArgs ask for one
    explicit Bridged(QStringList bridgeArgs = {}) {
        sim.setStandardErrorFile(dir.filePath(QStringLiteral("sim.log")));
        sim.start(bin("tova-sim"), {QStringLiteral("--fast")});
        sim.waitForReadyRead(5000);
        device = QString::fromUtf8(sim.readLine()).trimmed();
        bridge.setStandardErrorFile(dir.filePath(QStringLiteral("bridge.log")));
        bridge.start(bin("tova-bridge"), QStringList{QStringLiteral("--device"), device, QStringLiteral("--pjlink"),
                                                     QStringLiteral("127.0.0.1:0")} + bridgeArgs);
        // Ports the system chose: a fixed one may be held by a client socket of an earlier row.
        static const QRegularExpression on(QStringLiteral("PJLink on [^ ]+:(\\d+)"));
        static const QRegularExpression shared(QStringLiteral("shared line on [^ ]+:(\\d+)"));
        static const QRegularExpression web(QStringLiteral("web remote on https?://[^ ,]+:(\\d+)"));
        static const QRegularExpression absent(QStringLiteral("PJLink on [^ ]+:(\\d+) for projector A004"));
        const bool share = bridgeArgs.contains(QStringLiteral("--share")), http = bridgeArgs.contains(QStringLiteral("--http"));
        [[maybe_unused]] const bool up = QTest::qWaitFor([&] {
            const QString log = QString::fromUtf8(read(QStringLiteral("bridge.log")));
            if (const auto m = on.match(log); m.hasMatch()) port = static_cast<quint16>(m.captured(1).toUInt());
            if (const auto m = shared.match(log); m.hasMatch()) sharePort = static_cast<quint16>(m.captured(1).toUInt());
            if (const auto m = web.match(log); m.hasMatch()) webPort = static_cast<quint16>(m.captured(1).toUInt());
            if (const auto m = absent.match(log); m.hasMatch()) absentPort = static_cast<quint16>(m.captured(1).toUInt());
            return port != 0 && (!share || sharePort != 0) && (!http || webPort != 0) && log.contains(QStringLiteral("serving"));
        }, 10000);
    }
    QByteArray read(const QString& name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Lines the projector received so far.
    int linesSeen() { return int(read(QStringLiteral("sim.log")).count("line:")); }
    ~Bridged() {
        bridge.terminate();
        bridge.waitForFinished(5000);
        sim.terminate();
        sim.waitForFinished(5000);
    }
};

// A PJLink client asking POWR ? when told, counting each answer's time and what is no power state.
struct Poller {
    QTcpSocket s;
    QByteArray in;
    bool greeted = false;
    std::deque<Clock::time_point> asked; // answers come in the order asked
    std::vector<double> latencies;
    int errors = 0;
    explicit Poller(quint16 port) {
        s.connectToHost(QHostAddress::LocalHost, port);
        QObject::connect(&s, &QTcpSocket::readyRead, [this] {
            in += s.readAll();
            for (qsizetype cr; (cr = in.indexOf('\r')) >= 0;) {
                const QByteArray answer = in.left(cr + 1);
                in.remove(0, cr + 1);
                if (!std::exchange(greeted, true) || asked.empty()) continue;
                latencies.push_back(ms(Clock::now() - asked.front()));
                asked.pop_front();
                if (!answer.startsWith("%1POWR=") || answer.contains("ERR")) ++errors;
            }
        });
    }
    void ask() {
        asked.push_back(Clock::now());
        s.write("%1POWR ?\r");
    }
    // Asks once a second for seconds, after half a second for the rest of the load to start.
    void askEverySecondFor(int seconds) {
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        QObject::connect(&poll, &QTimer::timeout, [this] { ask(); });
        runFor(500);
        poll.start(1000);
        runFor(seconds * 1000);
        poll.stop();
        [[maybe_unused]] const bool answered = QTest::qWaitFor([this] { return asked.empty(); }, 6000);
    }
};

// Clients that each open a fresh PJLink connection for an input change, and again as soon as it
// is answered, as some controllers do for every command.
inline std::vector<std::unique_ptr<QTcpSocket>> inputChangers(quint16 port, int n, int& changes) {
    std::vector<std::unique_ptr<QTcpSocket>> out;
    for (int i = 0; i < n; ++i) {
        out.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket* s = out.back().get();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, i, &changes] {
            const QByteArray in = s->readAll();
            if (in.startsWith("PJLINK 0")) s->write(i % 2 ? "%1INPT 11\r" : "%1INPT 12\r");
            else if (in.contains("INPT=")) {
                ++changes;
                s->disconnectFromHost();
            }
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, [s, port] {
            QTimer::singleShot(0, s, [s, port] { s->connectToHost(QHostAddress::LocalHost, port); });
        });
        s->connectToHost(QHostAddress::LocalHost, port);
    }
    return out;
}

} // namespace tova::bench
