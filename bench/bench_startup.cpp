// SPDX-License-Identifier: MIT
// The panel's start-up beside a bare Qt window with as many widgets: to the window's map and to
// its first complete paint, and its memory then. Prints rows of the table; never fails on a time.
#include "bench_rig.hpp"
#include "tables/layout_table.hpp"

#include <QProcess>
#include <QRegularExpression>

#include <optional>

namespace tova::bench {
namespace {

// Spawns a program timed by its start-up probe: from the spawn to its window's map and to its
// first complete paint, in ms, and its memory then; nullopt when it did not tell.
struct Started {
    double mapMs, paintMs, rssMb;
};
std::optional<Started> timedStart(const QString& program, const QStringList& args,
                                                    const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    const auto t0 = Clock::now();
    p.start(program, args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(3000);
        return std::nullopt;
    }
    const QString err = QString::fromLatin1(p.readAllStandardError());
    const auto m = QRegularExpression(QStringLiteral("tova-startup map (\\d+) paint (\\d+) rss (\\d+)")).match(err);
    if (!m.hasMatch()) return std::nullopt;
    const double start = double(t0.time_since_epoch().count());
    return Started{(m.captured(1).toDouble() - start) / 1e6, (m.captured(2).toDouble() - start) / 1e6,
                   m.captured(3).toDouble() / 1024};
}

// The panel beside a bare Qt window with as many widgets, both spawned afresh in turn, on the
// virtual display scripts/bench gives (under a window manager), else offscreen.
} // namespace

void startUp() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOVA_STARTUP_PROBE"), QStringLiteral("exit"));
    const QString display = env.value(QStringLiteral("TOVA_BENCH_DISPLAY"));
    if (!display.isEmpty()) {
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }
    PseudoTerminal com1;
    const QStringList panelArgs{QStringLiteral("--com1"), QString::fromStdString(com1.slavePath())};
    const QStringList bareArgs{QString::number(layoutControls().size())};
    std::vector<double> panelMap, panelPaint, bareMap, barePaint, mapRatio, paintRatio, rss;
    for (int i = 0; i < 31; ++i) { // interleaved, so both see the same machine
        const auto panel = timedStart(bin("tova-control"), panelArgs, env);
        const auto bare = timedStart(bin("tova-bare-window"), bareArgs, env);
        if (!panel || !bare) continue;
        panelMap.push_back(panel->mapMs);
        panelPaint.push_back(panel->paintMs);
        bareMap.push_back(bare->mapMs);
        barePaint.push_back(bare->paintMs);
        mapRatio.push_back(panel->mapMs / bare->mapMs);
        paintRatio.push_back(panel->paintMs / bare->paintMs);
        rss.push_back(panel->rssMb);
    }
    const char* where = display.isEmpty() ? "offscreen" : "on X under openbox";
    auto spread = [](std::vector<double> v) {
        return fmt("median %.2f (%.2f to %.2f)", percentile(v, 50), *std::min_element(v.begin(), v.end()),
                   *std::max_element(v.begin(), v.end()));
    };
    if (mapRatio.empty()) {
        row("start-up beside a bare window", "no run told its times", "");
        return;
    }
    row(fmt("start-up to the map, panel / bare window, %.0f runs %s", double(mapRatio.size()), where),
        fmt("%.1f / %.1f ms", percentile(panelMap, 50), percentile(bareMap, 50)), "");
    row("  ratio to the map", spread(mapRatio), "< 1.15");
    row("start-up to the first complete paint, panel / bare window",
        fmt("%.1f / %.1f ms", percentile(panelPaint, 50), percentile(barePaint, 50)), "");
    row("  ratio to the first paint", spread(paintRatio), "< 1.15");
    row("  the panel's resident memory after its first paint", fmt("%.1f MB", percentile(rss, 50)), "< 45 MB");
}


} // namespace tova::bench
