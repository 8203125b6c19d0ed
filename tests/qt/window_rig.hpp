// SPDX-License-Identifier: MIT
#pragma once
// The whole panel, offscreen, on two pseudo-terminals.
#include "pty_peer.hpp"
#include "panel_qt/qt_panel.hpp"
#include "qt/qt_serial_control.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <memory>

namespace tova::test {

// Records the opens and closes the panel asks for, and counts the bytes it is told of.
class RecordingSerial : public QtSerialControl {
  public:
    using QtSerialControl::QtSerialControl;
    std::vector<std::string> log;
    std::size_t received = 0;
    void setPortOpen(bool open) override {
        log.push_back(open ? "open " + std::to_string(commPort()) : "close");
        QtSerialControl::setPortOpen(open);
    }
    void setEvents(SerialEvents events) override {
        events.received = [this, told = std::move(events.received)](const std::string& bytes) {
            received += bytes.size();
            if (told) told(bytes);
        };
        QtSerialControl::setEvents(std::move(events));
    }
};

struct WindowRig {
    PtyPeer com1, com2;
    RecordingSerial serial;
    QtPanel assembled;
    QtWindow& window = assembled.window;
    Panel& panel = assembled.panel;
    Timer &t1 = *assembled.parts.repeat, &t2 = *assembled.parts.replyTimeout, &t3 = *assembled.parts.comFrame, &t4 = *assembled.parts.displayClear;

    explicit WindowRig(QString com1Path = {}, PortChoices ports = {})
        : serial(com1Path.isEmpty() ? com1.path() : com1Path, com2.path()), assembled(serial, std::move(ports)) {
        assembled.show();
        QApplication::setActiveWindow(&window);
        [[maybe_unused]] bool exposed = QTest::qWaitForWindowExposed(&window);
    }
    ~WindowRig() { closeBoxes(); }

    QWidget* w(const char* name) const { return window.control(name); }
    QAbstractButton* button(const char* name) const { return qobject_cast<QAbstractButton*>(w(name)); }
    void click(const char* name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    std::string label(const char* name) const { return window.surface().caption(name); }

    // Until the reply time-out has closed the last exchange: the next reply starts afresh.
    bool waitExchangeClosed() {
        return QTest::qWaitFor([&] { return !t2.enabled() && panel.rxBuffer.empty(); }, 10000);
    }

    QMessageBox* box() const { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }
    // Waits for the warning box and dismisses it; returns its text.
    QString dismissBox() {
        if (!QTest::qWaitFor([&] { return box() != nullptr; }, 3000)) return {};
        QString text = box()->text();
        box()->accept();
        QApplication::processEvents();
        return text;
    }
    void closeBoxes() {
        while (auto* b = box()) {
            b->accept();
            QApplication::processEvents();
        }
    }
};

} // namespace tova::test
