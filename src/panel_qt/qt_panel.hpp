// SPDX-License-Identifier: MIT
#pragma once
// The panel on the Qt window, put together on a serial control as the program puts it: for the
// window's tests and the benchmark, which drive it by hand.
#include "panel_qt/main_window.hpp"
#include "qt/qt_timer.hpp"
#include "window/panel_program.hpp"

namespace tova {

struct QtPanel {
    MainWindow window;
    PanelAssembly parts;
    Form1& form = parts.form;

    explicit QtPanel(SerialControl& serial)
        : parts(serial, window.surface(), [] { return std::make_unique<QtTimer>(); },
                [this](InputHandlers h) { window.setInput(std::move(h)); }) {}
    void show() { window.showAtStart(); }
};

} // namespace tova
