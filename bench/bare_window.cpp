// SPDX-License-Identifier: MIT
// A bare Qt 6 window with as many push buttons as it is told (the panel's widget count), for
// the start-up benchmark: what any Qt program of that size costs to appear.
#include "panel_qt/startup_probe.hpp"

#include <QApplication>
#include <QPushButton>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 150;
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    const int columns = 12;
    for (int i = 0; i < n; ++i) {
        auto* b = new QPushButton(QStringLiteral("B%1").arg(i), &window);
        b->setGeometry(4 + (i % columns) * 52, 4 + (i / columns) * 28, 48, 24);
    }
    window.setFixedSize(4 + columns * 52, 8 + (n / columns + 1) * 28);
    tova::probeStartUp(&window);
    window.show();
    return QApplication::exec();
}
