// SPDX-License-Identifier: MIT
#pragma once
// The whole panel offscreen on a pseudo-terminal, for measuring; and small measuring helpers.
#include "panel_qt/qt_panel.hpp"
#include "sim_qt/pseudo_terminal.hpp"
#include "qt/qt_serial_control.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace tova::bench {

using Clock = std::chrono::steady_clock;

inline double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The table every benchmark adds its rows to.
struct Row {
    std::string what, figure, aim;
};
inline std::vector<Row>& rows() {
    static std::vector<Row> table;
    return table;
}
inline void row(std::string what, std::string figure, std::string aim) {
    rows().push_back({std::move(what), std::move(figure), std::move(aim)});
}
// Numbers go to printf as doubles (%.0f, %.1f), texts as they are (%s).
template <class T>
auto printfArg(const T& v) {
    if constexpr (std::is_arithmetic_v<T>) return static_cast<double>(v);
    else return v;
}
template <class... Args>
std::string fmt(const char* f, Args... a) {
    char buf[240];
    std::snprintf(buf, sizeof buf, f, printfArg(a)...);
    return buf;
}

// The panel's start-up (bench_startup.cpp).
void startUp();
// The benchmarks of the other programs (bench_tools.cpp, bench_bridge_bounds.cpp).
void sendBounds();
void sendPerCall(); // tova-send's wall time per call against the exchange alone
void bridgeLatency();
void bridgePollers(int clients, int seconds, int pollSeconds);
void bridgeMemory();
void bridgeNeverReader();
void bridgeStorm();
// Under attack (bench_attacks.cpp).
void webPipelining(int seconds);
void reconnectingClients(int seconds);
void controllerInStorm(int tries);
void loginsFromManyAddresses(int addresses);
void absentProjectorHolder(int seconds);
// Places under attack (bench_attack_places.cpp).
void openingsWithABody(int openings);
void placesFromOnePrefix();
void silentSharedLineClients();
void soak(int minutes); // alone, by name: scripts/bench soak [MINUTES]
void bridgeFlooded(int seconds);

inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    auto i = static_cast<std::size_t>(p / 100.0 * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// Runs the event loop for ms (QTest::qWait sleeps between its turns, which would skew timers).
inline void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A program of this build, or of the one TOVA_BENCH_BIN names (an earlier build, for a before
// and after).
inline QString bin(const char* name) {
    return qEnvironmentVariable("TOVA_BENCH_BIN", QStringLiteral(TOVA_BIN_DIR)) + QLatin1Char('/') + QString::fromLatin1(name);
}

inline long residentKb() {
    long pages = 0, rss = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
        std::fclose(f);
    }
    return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Master {
    PseudoTerminal pty;
    int fd = pty.master();
    QString slave = QString::fromStdString(pty.slavePath());
    std::size_t drain() {
        char b[65536];
        std::size_t total = 0;
        for (ssize_t n; (n = ::read(fd, b, sizeof b)) > 0;) total += std::size_t(n);
        return total;
    }
};

struct PanelRig {
    Master com1, com2;
    QtSerialControl serial{com1.slave, com2.slave};
    QtPanel assembled{serial};
    QtWindow& window = assembled.window;
    Panel& panel = assembled.panel;
    PanelRig() {
        assembled.show();
        [[maybe_unused]] bool exposed = QTest::qWaitForWindowExposed(&window);
    }
    QWidget* w(const char* n) const { return window.control(n); }
};

} // namespace tova::bench
