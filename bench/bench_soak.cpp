// SPDX-License-Identifier: MIT
// tova-bridge under an evening's mixed load for minutes on end (scripts/bench soak [MINUTES]):
// PJLink pollers, pages holding buttons, a shared-line client, scrapes of /metrics, searches, and
// clients reconnecting for every input change; its memory and descriptors at the start and the
// end. Prints one row; never fails on a time.
#include "bench_rig.hpp"
#include "bridged.hpp"

#include <QDir>
#include <QUdpSocket>
#include <QWebSocket>

namespace tova::bench {
namespace {

long descriptorsOf(qint64 pid) {
    return long(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

// Two pages, each holding VOL + for a second, keeping it held, every 4 s.
struct HoldingPages {
    std::vector<std::unique_ptr<QWebSocket>> pages;
    QTimer holds;
    int told = 0, tick = 0;
    explicit HoldingPages(quint16 webPort) {
        const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(webPort);
        for (int i = 0; i < 2; ++i) {
            pages.push_back(std::make_unique<QWebSocket>(origin));
            QObject::connect(pages.back().get(), &QWebSocket::textMessageReceived, [this] { ++told; });
            pages.back()->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/socket").arg(webPort)));
        }
        QObject::connect(&holds, &QTimer::timeout, [this] {
            const int phase = tick++ % 20;
            for (std::size_t i = 0; i < pages.size(); ++i) {
                if (phase == int(i) * 10) pages[i]->sendTextMessage(QStringLiteral("hold 0 Command1"));
                else if (phase == int(i) * 10 + 1 || phase == int(i) * 10 + 2) pages[i]->sendTextMessage(QStringLiteral("keep 0"));
                else if (phase == int(i) * 10 + 3) pages[i]->sendTextMessage(QStringLiteral("release 0"));
            }
        });
        holds.start(200);
    }
};

// A scrape of /metrics every 5 s, each on a connection of its own.
struct Scraper {
    QTimer every;
    int scrapes = 0;
    explicit Scraper(quint16 webPort) {
        QObject::connect(&every, &QTimer::timeout, [this, webPort] {
            auto* s = new QTcpSocket;
            QObject::connect(s, &QTcpSocket::connected, [s, webPort] {
                s->write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(webPort) + "\r\nConnection: close\r\n\r\n");
            });
            QObject::connect(s, &QTcpSocket::readyRead, [s, this] {
                if (s->readAll().startsWith("HTTP/1.1 200")) ++scrapes;
            });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            s->connectToHost(QHostAddress::LocalHost, webPort);
        });
        every.start(5000);
    }
};

// A status on the shared line every 2 s, and a search every 10 s.
struct LineAndSearches {
    QTcpSocket shared;
    QTimer ask, search;
    QUdpSocket probe;
    int replies = 0;
    LineAndSearches(Bridged& b) {
        shared.connectToHost(QHostAddress::LocalHost, b.sharePort);
        QObject::connect(&shared, &QTcpSocket::readyRead, [this] { replies += int(shared.readAll().count('\r')); });
        QObject::connect(&ask, &QTimer::timeout, [this] { shared.write("CR0\r"); });
        probe.bind(QHostAddress::LocalHost, 0);
        const QString log = QString::fromUtf8(b.read(QStringLiteral("bridge.log")));
        const auto port = QRegularExpression(QStringLiteral("PJLink search on [^ ]+:(\\d+)")).match(log).captured(1).toUShort();
        QObject::connect(&search, &QTimer::timeout, [this, port] { probe.writeDatagram("%2SRCH\r", QHostAddress::LocalHost, port); });
        ask.start(2000);
        search.start(10000);
    }
};

} // namespace

void soak(int minutes) {
    Bridged b({QStringLiteral("--http"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--share"), QStringLiteral("127.0.0.1:0"),
               QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0/004"), QStringLiteral("--search"),
               QStringLiteral("127.0.0.1:0")});
    std::vector<std::unique_ptr<Poller>> pollers;
    for (int i = 0; i < 8; ++i) pollers.push_back(std::make_unique<Poller>(b.port));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (auto& p : pollers) p->ask();
    });
    int changes = 0;
    const auto changers = inputChangers(b.absentPort, 3, changes);
    HoldingPages pages(b.webPort);
    Scraper scraper(b.webPort);
    LineAndSearches line(b);
    poll.start(1000);
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
            rssStart / 1024.0, rssEnd / 1024.0, rssPeak / 1024.0, fdStart, fdEnd, answers, errors, scraper.scrapes,
            pages.told, line.replies, changes),
        "flat");
}

} // namespace tova::bench
