// SPDX-License-Identifier: MIT
// Measures the panel: press to wire, repeat accuracy, backlog after release, a receive flood,
// start-up and idle wake-ups. Prints one table; never fails on a time.
#include "bench_rig.hpp"
#include "tables/layout_table.hpp"
#include "sim_qt/pseudo_terminal.hpp"

#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <time.h>

using namespace tova;
using namespace tova::bench;

namespace {


double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void pressToWire() {
    PanelRig r;
    std::vector<double> samples;
    for (int i = 0; i < 1000; ++i) {
        r.com1.drain();
        auto t0 = Clock::now();
        QTest::mousePress(r.w("Command1"), Qt::LeftButton); // a held button sends at the press
        pollfd p{r.com1.fd, POLLIN, 0};
        while (::poll(&p, 1, 1000) == 0) {
        }
        samples.push_back(ms(Clock::now() - t0));
        QTest::mouseRelease(r.w("Command1"), Qt::LeftButton);
        QApplication::processEvents();
    }
    row("press to wire, 1000 presses", fmt("median %.3f ms, p99 %.3f ms", percentile(samples, 50), percentile(samples, 99)),
        "p99 < 1 ms");
}

// Holds a button and timestamps each line as it reaches the far end.
void repeatAccuracy(const char* setup, const char* button, int period, int seconds) {
    PanelRig r;
    if (*setup) {
        QTest::mousePress(r.w(setup), Qt::LeftButton);
        QTest::mouseRelease(r.w(setup), Qt::LeftButton);
    }
    runFor(300);
    r.com1.drain();
    std::vector<Clock::time_point> arrivals;
    std::string pending;
    QSocketNotifier n(r.com1.fd, QSocketNotifier::Read);
    QObject::connect(&n, &QSocketNotifier::activated, [&] {
        char b[4096];
        for (ssize_t k; (k = ::read(r.com1.fd, b, sizeof b)) > 0;)
            for (ssize_t i = 0; i < k; ++i)
                if (b[i] == '\r') arrivals.push_back(Clock::now());
    });
    auto start = Clock::now();
    QTest::mousePress(r.w(button), Qt::LeftButton);
    runFor(seconds * 1000);
    QTest::mouseRelease(r.w(button), Qt::LeftButton);
    auto held = Clock::now() - start;
    runFor(100);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < arrivals.size(); ++i) gaps.push_back(ms(arrivals[i] - arrivals[i - 1]));
    const double ideal = 1 + std::floor(ms(held) / period); // the press and one line per period
    const double perSecond = double(arrivals.size()) / (ms(held) / 1000);
    row(fmt("repeat at %.0f ms, held %.0f s", period, seconds),
        fmt("%.1f lines/s of ideal %.1f (%.1f%%)", perSecond, 1000.0 / period,
            100.0 * double(arrivals.size()) / ideal),
        ">= 99% of ideal");
    row("  tick period", fmt("median %.3f ms, p99 %.3f ms", percentile(gaps, 50), percentile(gaps, 99)),
        "p99 < 1 ms late");
}

// A far end that reads at the 9600-baud line rate, one character per 1.04 ms.
void backlogAfterRelease() {
    PanelRig r;
    QTest::mouseClick(r.w("Command33"), Qt::LeftButton);
    r.panel.click("Option10");
    r.panel.click("Option5"); // addressed: 8 characters, 8.3 ms a line at 9600
    QTest::mousePress(r.w("Command48"), Qt::LeftButton);
    QTest::mouseRelease(r.w("Command48"), Qt::LeftButton); // digital-zoom timing: 5 ms
    runFor(300);
    r.com1.drain();
    std::atomic<bool> stop{false};
    std::atomic<long long> releasedAt{0};
    std::vector<std::pair<long long, char>> got;
    std::thread reader([&] {
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        while (!stop) {
            char c;
            if (::read(r.com1.fd, &c, 1) == 1)
                got.emplace_back(Clock::now().time_since_epoch().count(), c);
            next.tv_nsec += 1041667;
            if (next.tv_nsec >= 1000000000) next.tv_nsec -= 1000000000, ++next.tv_sec;
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
    });
    QTest::mousePress(r.w("Command5"), Qt::LeftButton);
    runFor(2000);
    releasedAt = Clock::now().time_since_epoch().count();
    QTest::mouseRelease(r.w("Command5"), Qt::LeftButton);
    runFor(1500);
    stop = true;
    reader.join();
    int after = 0, total = 0;
    for (auto [t, c] : got)
        if (c == '\r') ++total, after += t > releasedAt;
    row("held arrow, A001, 9600 baud, far end at line rate",
        fmt("%.0f lines in 2 s; %.0f still arriving after the release", total - after, after), "<= 1 after release");
}

void receiveFlood() {
    PanelRig r;
    runFor(200);
    std::vector<char> noise(1 << 20);
    std::mt19937 rng(7);
    for (auto& c : noise) c = static_cast<char>(rng());
    const long rss0 = residentKb();
    const double cpu0 = cpuSeconds();
    double worst = 0;
    auto last = Clock::now();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        auto now = Clock::now();
        worst = std::max(worst, ms(now - last));
        last = now;
    });
    probe.start(1);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::size_t off = 0;
        while (off < noise.size()) {
            ssize_t n = ::write(r.com1.fd, noise.data() + off, std::min<std::size_t>(4096, noise.size() - off));
            if (n > 0) off += std::size_t(n);
            else std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        done = true;
    });
    auto t0 = Clock::now();
    while (!done) QApplication::processEvents(QEventLoop::AllEvents, 5);
    runFor(300);
    writer.join();
    probe.stop();
    row("receive flood, 1 MB of noise while idle",
        fmt("longest stall %.1f ms; CPU %.2f s in %.2f s", worst, cpuSeconds() - cpu0, ms(Clock::now() - t0) / 1000),
        "stall < 20 ms");
    row("  resident memory growth during the flood", fmt("%.0f kB", double(residentKb() - rss0)), "< 2 MB");
}

void idleWakeups() {
    PanelRig r;
    runFor(2500); // settled: the first looks for a window manager's frame are over
    struct Counter : QObject {
        long timers = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Timer) ++timers;
            return false;
        }
    } counter;
    qApp->installEventFilter(&counter);
    rusage a{}, b{};
    getrusage(RUSAGE_SELF, &a);
    runFor(3000);
    getrusage(RUSAGE_SELF, &b);
    qApp->removeEventFilter(&counter);
    // The measuring loop's own single timer is one event; the rest would be the panel's.
    row("idle, no exchange open, 3 s",
        fmt("%.1f timer events/s; %.1f context switches/s", (counter.timers - 1) / 3.0,
            double(b.ru_nvcsw + b.ru_nivcsw - a.ru_nvcsw - a.ru_nivcsw) / 3.0),
        "0 wake-ups");
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));

    // "panel" or "tools" runs only that half; "startup" only the panel's start-up; "attacks" only
    // the bridge under attack.
    const std::string only = argc > 1 ? argv[1] : "";
    if (only == "startup") {
        startUp();
    } else if (only == "soak") {
        soak(argc > 2 ? std::max(1, std::atoi(argv[2])) : 10);
    } else if (only != "tools" && only != "attacks") {
        pressToWire();
        repeatAccuracy("Command48", "Command5", 5, 5); // after a D.Zoom release: 5 ms
        repeatAccuracy("", "Command15", 105, 3);       // Zoom +
        repeatAccuracy("", "Command1", 250, 3);        // VOL +
        backlogAfterRelease();
        receiveFlood();
        startUp();
        idleWakeups();
    }
    if (only != "panel" && only != "startup" && only != "attacks" && only != "soak") {
        sendBounds();
        sendPerCall();
        bridgeLatency();
        bridgePollers(32, 30, 0);
        bridgePollers(32, 30, 5);
        bridgeMemory();
        bridgeNeverReader();
        bridgeStorm();
        bridgeFlooded(30);
    }
    if (only != "panel" && only != "startup" && only != "soak") {
        webPipelining(15);
        reconnectingClients(30);
        controllerInStorm(20);
        loginsFromManyAddresses(1000);
        absentProjectorHolder(30);
        openingsWithABody(3000);
        placesFromOnePrefix();
        silentSharedLineClients();
    }

    std::size_t w0 = 0, w1 = 0;
    for (const auto& r : rows()) w0 = std::max(w0, r.what.size()), w1 = std::max(w1, r.figure.size());
    std::printf("%-*s | %-*s | %s\n", int(w0), "measure", int(w1), "figure", "aim");
    std::printf("%s\n", std::string(w0 + w1 + 20, '-').c_str());
    for (const auto& r : rows()) std::printf("%-*s | %-*s | %s\n", int(w0), r.what.c_str(), int(w1), r.figure.c_str(), r.aim.c_str());
    return 0;
}
