// SPDX-License-Identifier: MIT
#include "panel_qt/startup_probe.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tova {
namespace {

// Resident memory in kB, where the system tells it; 0 elsewhere.
long residentKb() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    long kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kb = std::strtol(line + 6, nullptr, 10);
    std::fclose(f);
    return kb;
}

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class Probe : public QObject {
  public:
    Probe(QWidget* window, bool exit) : QObject(window), m_window(window), m_exit(exit) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Show && watched == m_window && m_window->windowHandle())
            m_window->windowHandle()->installEventFilter(this);
        if (e->type() == QEvent::Expose && !m_map && m_window->windowHandle() && m_window->windowHandle()->isExposed())
            m_map = nowNs();
        // The first paint is complete once the event that carried it has been handled.
        if (e->type() == QEvent::Paint && watched == m_window && !m_painted) {
            m_painted = true;
            QTimer::singleShot(0, this, [this] {
                const long long painted = nowNs();
                std::fprintf(stderr, "tova-startup map %lld paint %lld rss %ld\n", m_map, painted, residentKb());
                std::fflush(stderr);
                if (m_exit) QCoreApplication::exit(0);
            });
        }
        return false;
    }

  private:
    QWidget* m_window;
    bool m_exit;
    long long m_map = 0;
    bool m_painted = false;
};

} // namespace

void probeStartUp(QWidget* window) {
    const char* probe = std::getenv("TOVA_STARTUP_PROBE");
    if (probe) new Probe(window, std::strcmp(probe, "exit") == 0);
}

} // namespace tova
