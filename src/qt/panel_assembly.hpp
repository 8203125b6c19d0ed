// SPDX-License-Identifier: MIT
#pragma once
// The panel put together on a serial control: its timers, its window and Form1, started up.
#include "core/form1.hpp"
#include "qt/main_window.hpp"
#include "qt/qt_timer.hpp"

namespace tova {

struct PanelAssembly {
    QtTimer timer1, timer2, timer3, timer4;
    MainWindow window;
    Form1 form;

    // Creates the window and runs start-up, as the window's load does before it is first shown.
    explicit PanelAssembly(SerialControl& serial)
        : form(serial, window, {timer1, timer2, timer3, timer4}) {
        window.setForm(&form);
        form.Form_Load();
    }
    void show() {
        window.show();
        if (QWidget* first = window.control(ctl::Command17)) first->setFocus();
    }
};

} // namespace tova
