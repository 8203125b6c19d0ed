// SPDX-License-Identifier: MIT
// tova-bridge under the attacks its bounds are for, measured: a web client that pipelines and
// never reads, clients that reconnect for every line beside a steady poller, a storm of
// reconnecting clients from a controller's own address, and wrong passwords from 1000
// addresses. Prints rows of the table; never fails on a time.
#include "bench_rig.hpp"
#include "bridged.hpp"
#include "bridge/digest.hpp"
#include "raw_client.hpp"

#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <memory>

namespace tova::bench {

void webPipelining(int seconds) {
    Bridged b({QStringLiteral("--http"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--poll"), QStringLiteral("0")});
    runFor(300);
    const long idle = residentKbOf(b.bridge.processId());
    const int fd = rawConnect(b.webPort, nullptr, true);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    const QByteArray requests =
        ("GET /remote.js HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(b.webPort) + "\r\n\r\n").repeated(20);
    long peak = idle;
    qint64 pushed = 0;
    double closedAfter = -1;
    const auto t0 = Clock::now();
    while (ms(Clock::now() - t0) < seconds * 1000) {
        // Twenty requests every 5 ms: what a request at a time on a fast network amounts to.
        const ssize_t n = ::send(fd, requests.constData(), std::size_t(requests.size()), MSG_NOSIGNAL);
        if (n > 0) pushed += n;
        else if (errno == EPIPE || errno == ECONNRESET) {
            closedAfter = ms(Clock::now() - t0);
            break;
        }
        runFor(5);
        peak = std::max(peak, residentKbOf(b.bridge.processId()));
    }
    ::close(fd);
    row(fmt("bridge: a web client pipelining GET /remote.js, never reading, up to %.0f s", seconds),
        fmt("%.1f MB of requests; memory %.1f MB idle, %.1f MB at most; %s", pushed / 1048576.0, idle / 1024.0, peak / 1024.0,
            closedAfter < 0 ? std::string("never closed").c_str() : fmt("closed after %.0f ms", closedAfter).c_str()),
        "closed at 1 MB unsent, memory flat");
}

void reconnectingClients(int seconds) {
    // Three clients open a fresh PJLink connection for every input change, one after the other
    // without pause, each for a projector that does not answer (its whole 5 s on the line); a
    // steady poller asks POWR ? each second on its own connection.
    Bridged b({QStringLiteral("--poll"), QStringLiteral("0"), QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0/004")});
    int changes = 0;
    const auto changers = inputChangers(b.absentPort, 3, changes);
    Poller p(b.port);
    p.askEverySecondFor(seconds);
    for (auto& s : changers) s->disconnect();
    runFor(3000);
    row(fmt("bridge: a PJLink poller at 1 Hz beside 3 clients reconnecting for every INPT change, %.0f s", seconds),
        fmt("%.0f answers, %.0f errors; p99 %.0f ms, worst %.0f ms; %.0f input changes", double(p.latencies.size()), p.errors,
            percentile(p.latencies, 99), percentile(p.latencies, 100), changes),
        "every answer within one exchange (5.1 s)");
}

void absentProjectorHolder(int seconds) {
    // One shared-line client keeps 15 distinct input changes waiting for projectors 002 to 004
    // while only 001 is on the line (004 has a PJLink listener, 002 and 003 none); a PJLink
    // poller asks POWR ? once a second, first while the bridge learns that 004 does not answer.
    Bridged b({QStringLiteral("--share"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--pjlink"),
               QStringLiteral("127.0.0.1:0/004")});
    QByteArray changes;
    for (const char* target : {"A002", "A003", "A004"})
        for (const char* code : {"C05", "C06", "C07", "C08", "C03"}) changes += QByteArray(target) + code + '\r';
    QTcpSocket holder;
    holder.connectToHost(QHostAddress::LocalHost, b.sharePort);
    QTimer again; // a line that left is sent again: 15 keep waiting
    QObject::connect(&again, &QTimer::timeout, [&] { holder.write(changes); });
    again.start(500);
    Poller p(b.port);
    p.askEverySecondFor(20);
    const double learning = percentile(p.latencies, 100);
    p.latencies.clear();
    p.askEverySecondFor(seconds);
    again.stop();
    row(fmt("bridge: a PJLink poller at 1 Hz while a shared-line client keeps 15 input changes to absent projectors waiting, %.0f s",
            seconds),
        fmt("worst %.2f s in the first 20 s; then p99 %.2f s, worst %.2f s (%.0f answers, %.0f errors)", learning / 1000,
            percentile(p.latencies, 99) / 1000, percentile(p.latencies, 100) / 1000, double(p.latencies.size()), p.errors),
        "worst 1.2 s once 004 is known not to answer");
}

void controllerInStorm(int tries) {
    QTemporaryDir dir;
    const QString passwordFile = secretFile(dir, "JBMIAProjectorLink");
    Bridged b({QStringLiteral("--password-file"), passwordFile, QStringLiteral("--poll"), QStringLiteral("0")});
    std::vector<std::unique_ptr<QTcpSocket>> storm;
    for (int i = 0; i < 33; ++i) {
        storm.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket* s = storm.back().get();
        const quint16 port = b.port;
        QObject::connect(s, &QTcpSocket::disconnected, s, [s, port] {
            QTimer::singleShot(0, s, [s, port] { s->connectToHost(QHostAddress::LocalHost, port); });
        });
        s->connectToHost(QHostAddress::LocalHost, port);
    }
    runFor(2000);
    std::vector<double> waits;
    int greeted = 0;
    for (int i = 0; i < tries; ++i) {
        QTcpSocket c;
        QByteArray in;
        const auto t0 = Clock::now();
        c.connectToHost(QHostAddress::LocalHost, b.port);
        const bool got = QTest::qWaitFor([&] {
            in += c.readAll();
            return in.contains('\r') || c.state() == QAbstractSocket::UnconnectedState;
        }, 5000);
        if (got && in.startsWith("PJLINK 1 ")) {
            ++greeted;
            waits.push_back(ms(Clock::now() - t0));
            const std::string random = in.mid(9, 8).toStdString();
            c.write(QByteArray::fromStdString(bridge::md5Hex(random + "JBMIAProjectorLink")) + "%1CLSS ?\r");
            c.waitForReadyRead(3000);
        }
        c.disconnectFromHost();
        runFor(500);
    }
    for (auto& s : storm) s->disconnect();
    row(fmt("bridge: a controller's greetings while 33 clients of its address reconnect, %.0f tries", tries),
        fmt("%.0f greeted; median wait %.0f ms, worst %.0f ms", greeted, waits.empty() ? -1.0 : percentile(waits, 50),
            waits.empty() ? -1.0 : percentile(waits, 100)),
        "every try, within about a second");
}

void loginsFromManyAddresses(int addresses) {
    QTemporaryDir dir;
    const QString passwordFile = secretFile(dir, "stage-left-42");
    Bridged b({QStringLiteral("--http"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--http-password-file"), passwordFile,
               QStringLiteral("--poll"), QStringLiteral("0")});
    const QByteArray head = "POST /login HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(b.webPort) +
                            "\r\nOrigin: http://127.0.0.1:" + QByteArray::number(b.webPort) + "\r\nConnection: close\r\n";
    auto login = [&](const std::string& from, const QByteArray& password) {
        const int fd = rawConnect(b.webPort, from.c_str());
        if (fd < 0) return QByteArray("no connection");
        const QByteArray body = "password=" + password;
        const QByteArray request = head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        ::send(fd, request.constData(), std::size_t(request.size()), MSG_NOSIGNAL);
        const QByteArray status = statusLine(fd, 3000);
        ::close(fd);
        return status;
    };
    std::map<QByteArray, int> statuses;
    const auto t0 = Clock::now();
    for (int i = 0; i < addresses; ++i)
        ++statuses[login("127.1." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250), "guess").left(12)];
    const double took = ms(Clock::now() - t0);
    const QByteArray right = login("127.2.0.1", "stage-left-42").left(12);
    row(fmt("bridge: a wrong web password from each of %.0f addresses", addresses),
        fmt("%.0f answered 401, %.0f answered 429, in %.1f s; then the right one: %s", statuses["HTTP/1.1 401"],
            statuses["HTTP/1.1 429"], took / 1000, right.constData()),
        "past 30 a minute: 429; the right one 204");
}

} // namespace tova::bench
