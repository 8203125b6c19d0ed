// SPDX-License-Identifier: MIT
#pragma once
// The panel put together on a serial control: its timers, its window and Form1, started up.
#include "panel/form1.hpp"
#include "panel_qt/main_window.hpp"
#include "qt/qt_timer.hpp"
#include "panel_qt/startup_probe.hpp"

#include <QString>

namespace tova {

struct PanelAssembly {
    QtTimer repeat, replyTimeout, comFrame, displayClear;
    MainWindow window;
    Form1 form;

    // Creates the window and runs start-up, as the window's load does before it is first shown.
    explicit PanelAssembly(SerialControl& serial)
        : form(serial, window, {repeat, replyTimeout, comFrame, displayClear}) {
        window.setForm(&form);
        form.startUp();
    }
    void show() {
        probeStartUp(&window);
        window.show();
        if (QWidget* first = window.control(ctl::PowerOn)) first->setFocus();
    }
    // Saves a picture of the window once it is shown, at that height (twips; 0: as it stands).
    void screenshotLater(const QString& file, int heightTwips);
};

} // namespace tova
