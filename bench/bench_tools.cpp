// SPDX-License-Identifier: MIT
// Measures tova-send's bounds and tova-bridge: its latency over the serial exchange alone, 32
// PJLink pollers at once, and its memory. Prints rows of the table; never fails on a time.
#include "bench_rig.hpp"
#include "bridged.hpp"
#include "link/exchange_queue.hpp"
#include "tables/line_requests.hpp"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tova::bench {
namespace {

// A program run to its end, with what the kernel counted for it.
struct Spent {
    int status = -1;
    double wallS = 0, cpuS = 0, maxRssMb = 0;
};
Spent spawnAndWait(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    // What it prints goes nowhere, as into a script's variable, not into the table.
    posix_spawn_file_actions_t out;
    posix_spawn_file_actions_init(&out);
    posix_spawn_file_actions_addopen(&out, 1, "/dev/null", O_WRONLY, 0);
    const auto t0 = Clock::now();
    const int spawned = posix_spawn(&pid, args[0], &out, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&out);
    if (spawned != 0) return {};
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ms(Clock::now() - t0) / 1000,
            double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6,
            double(u.ru_maxrss) / 1024};
}

} // namespace

void sendBounds() {
    // 600 MB without a carriage return: the reply buffer is capped, the memory stays flat.
    PseudoTerminal flood;
    std::atomic<bool> stop{false};
    std::atomic<long long> poured{0};
    std::thread writer([&] {
        const std::string chunk(1 << 16, 'x');
        while (!stop && poured < 600LL << 20) {
            const ssize_t n = ::write(flood.master(), chunk.data(), chunk.size());
            if (n > 0) poured += n;
            else std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    const Spent f = spawnAndWait({bin("tova-send").toStdString(), "--device", flood.slavePath(), "--timeout",
                                  "15000", "CR0"});
    stop = true;
    writer.join();
    row("tova-send: a flood without CR, no reply", fmt("%.0f MB read in %.1f s, peak memory %.1f MB", double(poured >> 20), f.wallS, f.maxRssMb),
        "memory flat (the reply is capped)");
    // 100 KB to a peer that never reads: it ends within its time-out, sleeping.
    PseudoTerminal deaf;
    const Spent d = spawnAndWait({bin("tova-send").toStdString(), "--device", deaf.slavePath(), "--timeout", "2000",
                                  std::string(100 * 1024, 'C')});
    row("tova-send: 100 KB to a peer that never reads", fmt("status %.0f after %.2f s, CPU %.2f s", d.status, d.wallS, d.cpuS),
        "2 within the 2 s time-out, little CPU");
}

// CR0 straight on the line, n times, as tova-send makes it: the exchange alone, in ms.
std::vector<double> exchangeAlone(const QString& device, int n) {
    std::vector<double> out;
    QtSerialControl serial(device);
    serial.setSettings(LineSettings{19200});
    serial.setPortOpen(true);
    QtTimer timeout, guard;
    SteadyClock clock;
    ExchangeQueue line(serial, timeout, guard, clock);
    serial.setEvents({[&](const std::string& bytes) { line.received(bytes); }, {}});
    for (int i = 0; i < n; ++i) {
        QEventLoop loop;
        line.submit(1, {"CR0\r", 2000, expectFor("CR0")}, [&](const ExchangeResult& r) {
            if (r.outcome == ExchangeResult::Replied) out.push_back(double(r.took.count()));
            loop.quit();
        });
        loop.exec();
    }
    serial.setPortOpen(false);
    return out;
}

void sendPerCall() {
    QProcess sim;
    sim.start(bin("tova-sim"), {QStringLiteral("--fast")});
    sim.waitForReadyRead(5000);
    const QString device = QString::fromUtf8(sim.readLine()).trimmed();
    // Interleaved: a call of tova-send, then the exchange alone, so both see the same machine.
    std::vector<double> call, alone;
    for (int i = 0; i < 30; ++i) {
        call.push_back(spawnAndWait({bin("tova-send").toStdString(), "--device", device.toStdString(), "CR0"}).wallS * 1000);
        const auto e = exchangeAlone(device, 1);
        alone.insert(alone.end(), e.begin(), e.end());
    }
    sim.terminate();
    sim.waitForFinished(3000);
    row("tova-send CR0 on a quiet line, wall time per call, 30 calls",
        fmt("median %.1f ms, p90 %.1f ms", percentile(call, 50), percentile(call, 90)), "the exchange + < 30 ms");
    row("  the exchange alone", fmt("median %.1f ms", percentile(alone, 50)), "");
    row("  added by a call", fmt("median %.1f ms", percentile(call, 50) - percentile(alone, 50)), "< 30 ms");
}

void bridgeLatency() {
    // The serial exchange alone: CR0 straight on the line, as tova-send makes it.
    std::vector<double> straight, through;
    {
        QProcess sim;
        sim.start(bin("tova-sim"), {QStringLiteral("--fast")});
        sim.waitForReadyRead(5000);
        const QString device = QString::fromUtf8(sim.readLine()).trimmed();
        straight = exchangeAlone(device, 200);
        sim.terminate();
        sim.waitForFinished(3000);
    }
    {
        Bridged b;
        QTcpSocket c;
        c.connectToHost(QHostAddress::LocalHost, b.port);
        c.waitForConnected(3000);
        [[maybe_unused]] const bool greeted = QTest::qWaitFor([&] { return c.readAll().contains('\r'); }, 3000);
        c.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        for (int i = 0; i < 200; ++i) {
            // Timed by the answer's arrival itself, not by a loop that looks now and then.
            QEventLoop loop;
            QByteArray got;
            const auto link = QObject::connect(&c, &QTcpSocket::readyRead, &loop, [&] {
                got += c.readAll();
                if (got.contains('\r')) loop.quit();
            });
            QTimer::singleShot(3000, &loop, &QEventLoop::quit);
            const auto t0 = Clock::now();
            c.write("%1POWR ?\r");
            loop.exec();
            through.push_back(ms(Clock::now() - t0));
            QObject::disconnect(link);
        }
    }
    row("bridge: POWR ? round trip, 200 times",
        fmt("median %.1f ms, p99 %.1f ms", percentile(through, 50), percentile(through, 99)), "the exchange + a few ms");
    row("  CR0 straight on the line (the exchange alone)",
        fmt("median %.1f ms, p99 %.1f ms", percentile(straight, 50), percentile(straight, 99)), "");
    row("  added by the bridge",
        fmt("median %.2f ms, p99 %.2f ms", percentile(through, 50) - percentile(straight, 50),
            percentile(through, 99) - percentile(straight, 99)),
        "< 1 ms");
}

void bridgePollers(int clients, int seconds, int pollSeconds) {
    Bridged b({QStringLiteral("--poll"), QString::number(pollSeconds)});
    std::vector<std::unique_ptr<Poller>> pollers;
    std::vector<std::unique_ptr<QTimer>> timers;
    const int before = b.linesSeen();
    for (int i = 0; i < clients; ++i) {
        auto p = std::make_unique<Poller>(b.port);
        Poller* raw = p.get();
        auto t = std::make_unique<QTimer>();
        t->setTimerType(Qt::PreciseTimer);
        QObject::connect(t.get(), &QTimer::timeout, [raw] { raw->ask(); });
        // Each at its own phase of the second, as independent controllers poll.
        QTimer::singleShot(1000 * i / clients, [tp = t.get()] { tp->start(1000); });
        timers.push_back(std::move(t));
        pollers.push_back(std::move(p));
    }
    runFor(seconds * 1000);
    for (auto& t : timers) t->stop();
    runFor(500);
    std::vector<double> all;
    int errors = 0, requests = 0;
    for (auto& p : pollers) {
        all.insert(all.end(), p->latencies.begin(), p->latencies.end());
        errors += p->errors;
        requests += int(p->latencies.size());
    }
    const int exchanges = b.linesSeen() - before;
    // The bridge's own count of its polls, and the longest it went without a status, as it
    // says when it stops.
    b.bridge.terminate();
    b.bridge.waitForFinished(5000);
    static const QRegularExpression said(QStringLiteral("(\\d+) polls; the longest wait for a status (\\d+) ms"));
    const auto m = said.match(QString::fromUtf8(b.read(QStringLiteral("bridge.log"))));
    row(fmt("bridge: %.0f PJLink clients polling POWR ? each second, %.0f s, background poller %s", clients, seconds,
            pollSeconds ? fmt("every %.0f s", pollSeconds).c_str() : "off"),
        fmt("%.0f answers, %.0f errors; p99 %.1f ms", requests, errors, percentile(all, 99)),
        pollSeconds ? "p99 up by at most one exchange" : "0 errors");
    row("  median answer; serial exchanges; polls; longest status age",
        fmt("%.1f ms; %.0f exchanges (%.0f%% of requests); %s polls; %s ms", percentile(all, 50), exchanges,
            requests ? 100.0 * exchanges / requests : 0, m.captured(1).toStdString().c_str(),
            m.captured(2).toStdString().c_str()),
        "");
}

void bridgeMemory() {
    Bridged b;
    runFor(300);
    const long start = residentKbOf(b.bridge.processId());
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 32; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress::LocalHost, b.port);
        s->waitForConnected(3000);
        idle.push_back(std::move(s));
    }
    runFor(500);
    const long withIdle = residentKbOf(b.bridge.processId());
    idle.clear();
    runFor(300);
    const long afterIdle = residentKbOf(b.bridge.processId());
    for (int i = 0; i < 1000; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, b.port);
        s.waitForConnected(3000);
        s.write("%1CLSS ?\r");
        s.waitForReadyRead(1000);
        s.disconnectFromHost();
    }
    runFor(500);
    const long after = residentKbOf(b.bridge.processId());
    row("bridge: resident memory at start, with 32 idle clients",
        fmt("%.0f kB, %.0f kB (%.0f kB after they left)", double(start), double(withIdle), double(afterIdle)), "flat");
    row("  after 1000 connect/disconnect cycles", fmt("%.0f kB (%+.0f kB)", double(after), double(after - afterIdle)),
        "flat");
}

} // namespace tova::bench
