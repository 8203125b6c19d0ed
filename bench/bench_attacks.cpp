// SPDX-License-Identifier: MIT
// tova-bridge under the attacks its bounds are for, measured: a web client that pipelines and
// never reads, clients that reconnect for every line beside a steady poller, a storm of
// reconnecting clients from a controller's own address, and wrong passwords from 1000
// addresses. Prints rows of the table; never fails on a time.
#include "bench_rig.hpp"
#include "bridged.hpp"
#include "bridge/pjlink/digest.hpp"

#include <QDir>
#include <QTimer>
#include <QUdpSocket>
#include <QWebSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tova::bench {
namespace {

// A loopback connection from a source address of our choosing, with the smallest receive window.
int rawConnect(quint16 port, const char* from = nullptr, bool stubborn = false) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (stubborn) {
        const int small = 1024;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    if (from) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What a blocking read gives within ms: the first status line of a response.
QByteArray statusLine(int fd, int ms) {
    timeval t{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    QByteArray in;
    char c;
    while (!in.endsWith("\r\n") && ::recv(fd, &c, 1, 0) == 1) in += c;
    return in.trimmed();
}

// A password file only its owner may read, as the bridge wants it.
QString secretFile(QTemporaryDir& dir, const char* secret) {
    const QString path = dir.filePath(QStringLiteral("password"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(secret) + '\n');
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

// Clients that each open a fresh PJLink connection for an input change, and again as soon as it
// is answered, as some controllers do for every command.
std::vector<std::unique_ptr<QTcpSocket>> inputChangers(quint16 port, int n, int& changes) {
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

} // namespace

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

namespace tova::bench {
namespace {

long descriptorsOf(qint64 pid) {
    return long(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

} // namespace

void soak(int minutes) {
    // Mixed load, as a venue's evening: PJLink pollers, pages holding buttons, a shared-line
    // client, scrapes of /metrics, searches, and clients reconnecting for every input change.
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    Bridged b({QStringLiteral("--http"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--share"), QStringLiteral("127.0.0.1:0"),
               QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0/004"), QStringLiteral("--search"),
               QStringLiteral("127.0.0.1:0")});
    int scrapes = 0, pagesTold = 0, sharedReplies = 0;
    std::vector<std::unique_ptr<Poller>> pollers;
    for (int i = 0; i < 8; ++i) pollers.push_back(std::make_unique<Poller>(b.port));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (auto& p : pollers) p->ask();
    });
    int changes = 0;
    const auto changers = inputChangers(b.absentPort, 3, changes);
    const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(b.webPort);
    std::vector<std::unique_ptr<QWebSocket>> pages;
    for (int i = 0; i < 2; ++i) {
        pages.push_back(std::make_unique<QWebSocket>(origin));
        QObject::connect(pages.back().get(), &QWebSocket::textMessageReceived, [&pagesTold] { ++pagesTold; });
        pages.back()->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/socket").arg(b.webPort)));
    }
    int tick = 0;
    QTimer holds; // each page holds VOL + for a second, keeping it held, every 4 s
    QObject::connect(&holds, &QTimer::timeout, [&] {
        const int phase = tick++ % 20;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (phase == int(i) * 10) pages[i]->sendTextMessage(QStringLiteral("hold 0 Command1"));
            else if (phase == int(i) * 10 + 1 || phase == int(i) * 10 + 2) pages[i]->sendTextMessage(QStringLiteral("keep 0"));
            else if (phase == int(i) * 10 + 3) pages[i]->sendTextMessage(QStringLiteral("release 0"));
        }
    });
    QTcpSocket shared;
    shared.connectToHost(QHostAddress::LocalHost, b.sharePort);
    QObject::connect(&shared, &QTcpSocket::readyRead, [&] { sharedReplies += int(shared.readAll().count('\r')); });
    QTimer sharedAsk;
    QObject::connect(&sharedAsk, &QTimer::timeout, [&] { shared.write("CR0\r"); });
    QTimer scrape;
    QObject::connect(&scrape, &QTimer::timeout, [&] {
        auto* s = new QTcpSocket;
        QObject::connect(s, &QTcpSocket::connected, [s, &b] {
            s->write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(b.webPort) + "\r\nConnection: close\r\n\r\n");
        });
        QObject::connect(s, &QTcpSocket::readyRead, [s, &scrapes] {
            if (s->readAll().startsWith("HTTP/1.1 200")) ++scrapes;
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        s->connectToHost(QHostAddress::LocalHost, b.webPort);
    });
    const QString searchLog = QString::fromUtf8(b.read(QStringLiteral("bridge.log")));
    const auto searchPort = QRegularExpression(QStringLiteral("PJLink search on [^ ]+:(\\d+)")).match(searchLog).captured(1).toUShort();
    QTimer search;
    QObject::connect(&search, &QTimer::timeout, [&] { probe.writeDatagram("%2SRCH\r", QHostAddress::LocalHost, searchPort); });
    poll.start(1000);
    holds.start(200);
    sharedAsk.start(2000);
    scrape.start(5000);
    search.start(10000);
    runFor(10000);
    const long rssStart = residentKbOf(b.bridge.processId()), fdStart = descriptorsOf(b.bridge.processId());
    long rssPeak = rssStart;
    const auto t0 = Clock::now();
    while (ms(Clock::now() - t0) < minutes * 60000.0) {
        runFor(1000);
        rssPeak = std::max(rssPeak, residentKbOf(b.bridge.processId()));
    }
    const long rssEnd = residentKbOf(b.bridge.processId()), fdEnd = descriptorsOf(b.bridge.processId());
    std::size_t answers = 0;
    int errors = 0;
    for (const auto& p : pollers) {
        answers += p->latencies.size();
        errors += p->errors;
    }
    row(fmt("bridge: %.0f minutes of mixed load (8 pollers, 2 pages holding, shared line, scrapes, searches, 3 reconnecting)",
            minutes),
        fmt("RSS %.1f -> %.1f MB (peak %.1f), descriptors %.0f -> %.0f; %.0f poll answers, %.0f errors; %.0f scrapes, %.0f "
            "page messages, %.0f shared replies, %.0f input changes",
            rssStart / 1024.0, rssEnd / 1024.0, rssPeak / 1024.0, fdStart, fdEnd, answers, errors, scrapes, pagesTold,
            sharedReplies, changes),
        "flat");
}

} // namespace tova::bench
