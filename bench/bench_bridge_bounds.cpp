// SPDX-License-Identifier: MIT
// tova-bridge at its clients' bounds: a client that never reads, a storm of connections, a line
// flooded by a device that never stops talking. Prints rows of the table; never fails on a time.
#include "bench_rig.hpp"
#include "bridged.hpp"

#include <QTcpSocket>

namespace tova::bench {

void bridgeNeverReader() {
    Bridged b;
    runFor(300);
    const long idle = residentKbOf(b.bridge.processId());
    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, b.port);
    flood.waitForConnected(3000);
    flood.setReadBufferSize(1); // it takes nothing of what it is sent
    const QByteArray burst = QByteArray("%1INST ?\r").repeated(8192);
    long peak = idle;
    qint64 pushed = 0;
    const auto t0 = Clock::now();
    while (ms(Clock::now() - t0) < 10000 && flood.state() == QAbstractSocket::ConnectedState) {
        if (flood.bytesToWrite() < 4 << 20) pushed += flood.write(burst);
        runFor(20);
        peak = std::max(peak, residentKbOf(b.bridge.processId()));
    }
    row("bridge: a PJLink client asking INST ? without end, never reading, 10 s",
        fmt("%.0f MB sent its way; memory %.1f MB idle, %.1f MB at most (+%.1f MB)", double(pushed >> 20), idle / 1024.0,
            peak / 1024.0, (peak - idle) / 1024.0),
        "within 20 MB of idle");
}

void bridgeStorm() {
    Bridged b({QStringLiteral("--max-clients"), QStringLiteral("256")});
    std::vector<std::unique_ptr<QTcpSocket>> storm;
    std::vector<double> greeted(256, -1);
    const auto t0 = Clock::now();
    for (int i = 0; i < 256; ++i) {
        storm.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket* s = storm.back().get();
        QObject::connect(s, &QTcpSocket::readyRead, [s, i, &greeted, t0] {
            if (greeted[std::size_t(i)] < 0 && s->bytesAvailable() >= 9) greeted[std::size_t(i)] = ms(Clock::now() - t0);
        });
        s->connectToHost(QHostAddress::LocalHost, b.port);
    }
    [[maybe_unused]] const bool all = QTest::qWaitFor([&] {
        return std::all_of(greeted.begin(), greeted.end(), [](double g) { return g >= 0; });
    }, 60000);
    const auto missing = std::count(greeted.begin(), greeted.end(), -1.0);
    row("bridge: 256 clients connecting at once, --max-clients 256",
        fmt("all greeted within %.0f ms (median %.0f ms), %.0f not greeted", *std::max_element(greeted.begin(), greeted.end()),
            percentile(greeted, 50), double(missing)),
        "within 3 s");
}

void bridgeFlooded(int seconds) {
    // Two shared-line clients flood input changes for a projector not on the line: each waits
    // its whole 5 s time-out. A PJLink poller asks POWR ? each second meanwhile.
    Bridged b({QStringLiteral("--share"), QStringLiteral("127.0.0.1:0")});
    std::vector<std::unique_ptr<QTcpSocket>> flooders;
    for (int i = 0; i < 2; ++i) {
        flooders.push_back(std::make_unique<QTcpSocket>());
        flooders.back()->connectToHost(QHostAddress::LocalHost, b.sharePort);
        flooders.back()->waitForConnected(3000);
    }
    QTimer refill;
    QObject::connect(&refill, &QTimer::timeout, [&] {
        for (auto& f : flooders) f->write("A004C05\rA004C06\rA004C07\r");
    });
    refill.start(200);
    Poller p(b.port);
    p.askEverySecondFor(seconds);
    refill.stop();
    runFor(6000);
    row(fmt("bridge: a PJLink poller at 1 Hz while 2 clients flood unanswered input changes, %.0f s", seconds),
        fmt("%.0f answers, %.0f errors; p99 %.0f ms, worst %.0f ms", double(p.latencies.size()), p.errors,
            percentile(p.latencies, 99), percentile(p.latencies, 100)),
        "every answer within 6 s");
}

} // namespace tova::bench
