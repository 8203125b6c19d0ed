// SPDX-License-Identifier: MIT
#pragma once
// The panel on the Qt window, put together on a serial control as the program puts it: for the
// window's tests and the benchmark, which drive it by hand.
#include "panel_qt/qt_window.hpp"
#include "qt/qt_timer.hpp"
#include "window/panel_program.hpp"

namespace tova {

struct QtPanel {
    QtWindow window;
    PanelAssembly parts;
    Panel& panel = parts.panel;

    explicit QtPanel(SerialControl& serial, PortChoices ports = {})
        : parts(serial, window.surface(), [] { return std::make_unique<QtTimer>(); },
                [this](InputHandlers h) { window.setInput(std::move(h)); }, std::move(ports)) {}
    void show() { window.showAtStart(); }
};

} // namespace tova
