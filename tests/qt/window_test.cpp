// SPDX-License-Identifier: MIT
// The panel as the operator uses it: real widgets offscreen, real timers, pseudo-terminals.
#include "tables/data_button.hpp"
#include <QFontMetrics>
#include "tables/layout_table.hpp"
#include "panel_qt/input_router.hpp"
#include "window_rig.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using namespace tova;
using namespace tova::test;

TEST(Window, ButtonsSendTheirLinesToTheFarEnd) {
    WindowRig r;
    r.click("Command17");
    EXPECT_EQ(r.com1.readBytes(4), "C00\r");
    r.click("Option4"); // ALL
    r.click("Command76");
    EXPECT_EQ(r.com1.readBytes(22), "AFFFCF INPUT2 S-VIDEO\r");
    r.click("Option8");
    r.click("Command44");
    EXPECT_EQ(r.com1.readBytes(8), "A004CR0\r");
    EXPECT_EQ(r.label("Label11"), " A 0 0 4 C R 0 CR ");
    r.com1.write("00\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label22") == " Power ON"; }, 3000));
    EXPECT_EQ(r.label("Label12"), " 0 0 CR ");
}

TEST(Window, KeyboardActivatesOneShotButtonsButNotHeldOnes) {
    WindowRig r;
    EXPECT_EQ(QApplication::focusWidget(), r.w("Command17")); // focus starts on POWER ON
    QTest::keyClick(r.w("Command17"), Qt::Key_Space);
    EXPECT_EQ(r.com1.readBytes(4), "C00\r");
    r.w("Command18")->setFocus();
    QTest::keyClick(r.w("Command18"), Qt::Key_Return);
    EXPECT_EQ(r.com1.readBytes(4), "C01\r");
    for (const char* held : {"Command1", "Command5", "Command6"}) {
        r.w(held)->setFocus();
        for (auto key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(r.w(held), key);
    }
    EXPECT_FALSE(r.t1.enabled());
    r.click("Command17"); // a marker: whatever the keys had sent would arrive before it
    EXPECT_EQ(r.com1.readBytes(4), "C00\r");
}

TEST(Window, HeldButtonPressedAndReleasedAtOnceSendsOneLine) {
    for (auto mouse : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        WindowRig r;
        QTest::mousePress(r.w("Command1"), mouse);
        QTest::mouseRelease(r.w("Command1"), mouse);
        EXPECT_EQ(r.com1.readBytes(4), "C09\r");
        EXPECT_FALSE(r.t1.enabled()); // stopped: no tick follows
        r.click("Command17");
        EXPECT_EQ(r.com1.readBytes(4), "C00\r") << mouse;
    }
}

TEST(Window, HeldButtonRepeatsWhileHeld) {
    WindowRig r;
    QTest::mousePress(r.w("Command15"), Qt::RightButton); // Zoom +, 105 ms
    EXPECT_TRUE(r.button("Command15")->isDown());
    std::string got = r.com1.readBytes(4 * 4, 3000);
    QTest::mouseRelease(r.w("Command15"), Qt::RightButton);
    EXPECT_FALSE(r.button("Command15")->isDown());
    EXPECT_EQ(got, "C47\rC47\rC47\rC47\r");
}

TEST(Window, ClickOnTheMarkedComOptionReopensThePort) {
    WindowRig r;
    EXPECT_TRUE(qobject_cast<QRadioButton*>(r.w("Option1"))->isChecked());
    r.click("Command33");
    EXPECT_TRUE(r.w("Frame8")->isVisible());
    r.serial.log.clear();
    r.click("Option1");
    EXPECT_EQ(r.serial.log, (std::vector<std::string>{"close", "open 1"}));
    EXPECT_FALSE(r.w("Frame8")->isVisible());
    r.click("Command17");
    EXPECT_EQ(r.com1.readBytes(4), "C00\r");
}

TEST(Window, StartUpWithAMissingPortWarnsOnceAndGoesOn) {
    WindowRig r(QStringLiteral("/nonexistent/tty-of-nobody"));
    const QString text = r.dismissBox();
    EXPECT_TRUE(text.startsWith(QStringLiteral("COM1 (/nonexistent/tty-of-nobody): no such device (")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(")\nPlug in the adapter, or choose the port it has (right-click COM).")))
        << text.toStdString();
    drainEvents();
    EXPECT_EQ(r.box(), nullptr); // once only
    EXPECT_FALSE(r.serial.portOpen());
    // The port number is 2 now; the failure stays COM1's.
    EXPECT_TRUE(r.w("Command33")->toolTip().startsWith(QStringLiteral("COM2: %1, 19200,N,8,1, closed; last failure: %2")
                                                          .arg(r.com2.path(), text.section(QLatin1Char('\n'), 0, 0))))
        << r.w("Command33")->toolTip().toStdString();
    // The operator chooses COM2, which is there.
    r.click("Command33");
    r.click("Option2");
    EXPECT_TRUE(r.serial.portOpen());
    r.click("Command44");
    EXPECT_EQ(r.com2.readBytes(4), "CR0\r");
}

TEST(Window, UnpluggedDeviceIsReportedOnceAndAHeldButtonIsReleased) {
    WindowRig r;
    QTest::mousePress(r.w("Command15"), Qt::LeftButton);
    EXPECT_EQ(r.com1.readBytes(4), "C47\r");
    r.com1.hangUp();
    const QString text = r.dismissBox();
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(r.serial.portOpen());
    EXPECT_FALSE(r.t1.enabled()); // the box never leaves a repeat running
    drainEvents();
    EXPECT_EQ(r.box(), nullptr);
    r.click("Command17"); // a press on the closed port is reported, not shown as sent
    EXPECT_NE(r.dismissBox().indexOf(QStringLiteral("not open")), -1);
    EXPECT_EQ(r.label("Label11"), "");
}

TEST(Window, ServiceKeysAndTheDataButton) {
    WindowRig r;
    EXPECT_EQ(r.window.surface().height(), kCompactHeight);
    EXPECT_TRUE(r.w("Command34")->isHidden());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K);
    EXPECT_EQ(r.window.surface().height(), kCompactHeight);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(r.window.surface().height(), kServiceHeight);
    EXPECT_EQ(r.label("Command34"), kClose);
    EXPECT_FALSE(r.w("Command34")->isHidden());
    QTest::mouseDClick(r.w("Image1"), Qt::LeftButton);
    EXPECT_EQ(r.window.surface().height(), kFullHeight);
    r.click("Command34");
    EXPECT_EQ(r.window.surface().height(), kCompactHeight);
    EXPECT_EQ(r.label("Command34"), kShowData);
    r.click("Command34");
    EXPECT_EQ(r.window.surface().height(), kDataHeight);
    EXPECT_EQ(r.label("Command34"), kHideData);
    EXPECT_EQ(r.button("Command34")->text().toStdString(), kHideData);
    QTest::mouseDClick(r.w("Image1"), Qt::LeftButton);
    EXPECT_EQ(r.window.surface().height(), kDataHeight);
}

// The window sees each key once, whichever control has the focus: a held button, a one-shot
// button, an option or the text box.
TEST(Window, EachKeyReachesThePanelOnce) {
    WindowRig r;
    int seen = 0;
    InputHandlers watched = handlersOf(r.panel);
    watched.key = [&, panel = watched.key](int key, int shift) {
        seen += key == Qt::Key_K; // the modifier's own press comes first
        panel(key, shift);
    };
    r.window.setInput(watched);
    for (const char* focus : {"Command15", "Command17", "Option9", "Text1"}) {
        r.w(focus)->setFocus();
        seen = 0;
        QTest::keyClick(r.w(focus), Qt::Key_K, Qt::ControlModifier);
        EXPECT_EQ(seen, 1) << focus;
    }
    EXPECT_EQ(r.window.surface().height(), kServiceHeight);
}

TEST(Window, CtrlKInTheTextBoxKeepsTheTextAndReachesTheBox) {
    WindowRig r;
    auto* box = qobject_cast<QLineEdit*>(r.w("Text1"));
    struct Seen : QObject {
        int ks = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_K) ++ks;
            return false;
        }
    } seen;
    box->installEventFilter(&seen);
    box->setFocus();
    QTest::keyClicks(box, "CR0");
    box->setCursorPosition(0);
    QTest::keyClick(box, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(r.window.surface().height(), kServiceHeight);
    EXPECT_EQ(seen.ks, 1); // passed on to the box after the window saw it
    EXPECT_EQ(box->text(), QStringLiteral("CR0"));
    QTest::keyClick(box, Qt::Key_Return); // Enter sends nothing
    r.click("Command17");
    EXPECT_EQ(r.com1.readBytes(4), "C00\r");
}

TEST(Window, SendFramesTheBoxAndDecodesTheReply) {
    WindowRig r;
    auto* box = qobject_cast<QLineEdit*>(r.w("Text1"));
    r.click("Option4");
    box->setText(QStringLiteral("CR0"));
    r.click("Command95");
    EXPECT_EQ(r.com1.readBytes(8), "AFFFCR0\r");
    r.com1.write("80\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.label("Label22") == " Stand by"; }, 3000));
    box->clear();
    r.click("Command95");
    EXPECT_EQ(r.com1.readBytes(5), "AFFF\r");
    r.click("Option3");
    box->setText(QString::fromUtf8("C\u00e9\U0001F600\u30c7"));
    r.click("Command95");
    EXPECT_EQ(r.com1.readBytes(5), "C???\r"); // one "?" for each character beyond ASCII
    r.click("Command96");
    EXPECT_EQ(box->text(), QString());
}

TEST(Window, PixelSizeAtEachHeight) {
    WindowRig r;
    for (int h : {kCompactHeight, kDataHeight, kServiceHeight, kFullHeight}) {
        r.window.surface().setHeight(h);
        QApplication::processEvents();
        const int frame = r.window.frameGeometry().height() - r.window.geometry().height();
        const QImage shot = r.window.grab().toImage();
        EXPECT_EQ(shot.width(), 633);
        EXPECT_NEAR(shot.height() + frame, h / 15.0, 1.0) << h;
        // The panel's grey fills it, and nothing moved: POWER ON stays where it was laid out.
        EXPECT_EQ(shot.pixelColor(2, 2), QColor(192, 192, 192));
        EXPECT_EQ(r.w("Command17")->mapTo(&r.window, QPoint(0, 0)), QPoint((120 + 120) / 15 + 0, 56));
    }
    // Below the window's edge controls are clipped, not hidden: the keyboard still reaches them.
    r.window.surface().setHeight(kCompactHeight);
    QApplication::processEvents();
    EXPECT_TRUE(r.w("Command99")->isVisible());
    r.w("Command99")->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), r.w("Command99"));
    QTest::keyClick(r.w("Command99"), Qt::Key_Space);
    EXPECT_EQ(r.com1.readBytes(12), "CR PRESSURE\r");
}

TEST(Window, EveryControlIsBuiltFromTheLayout) {
    WindowRig r;
    EXPECT_EQ(r.window.windowTitle(), QStringLiteral("TOVA   M4 & TM4    CONTROL   Ver.1.40 BASE"));
    for (const auto& c : layoutControls()) {
        QWidget* w = r.window.control(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->objectName().toStdString(), c.name);
        EXPECT_EQ(w->size(), QSize(qRound(c.width / 15.0), qRound(c.height / 15.0))) << c.name;
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && c.name != "Command34") {
            EXPECT_EQ(b->accessibleName().toStdString(), c.caption) << c.name;
        }
    }
    // Tab order follows the table: from POWER ON to its neighbour in the table, and so on
    // through every control that takes focus, the ones built after the first paint included.
    EXPECT_EQ(r.w("Command17")->nextInFocusChain(), r.w("Command1"));
    std::vector<std::pair<int, QWidget*>> order;
    for (const auto& c : layoutControls())
        if (QWidget* w = r.window.control(c.name); w->focusPolicy() != Qt::NoFocus) order.emplace_back(c.tab, w);
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    auto nextTabStop = [](QWidget* w) { // frames sit in the chain too; Tab passes them by
        do w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    for (std::size_t i = 1; i < order.size(); ++i)
        EXPECT_EQ(nextTabStop(order[i - 1].second), order[i].second) << order[i - 1].second->objectName().toStdString();
}

TEST(Window, EachControlShowsTheFontOfTheTable) {
    WindowRig r;
    for (const auto& c : layoutControls()) {
        const FontSpec spec = fontSpec(c.font);
        const QFont f = r.window.control(c.name)->font(); // as it draws, inherited or its own
        EXPECT_EQ(f.family(), spec.proportional ? QStringLiteral("IPAPGothic") : QStringLiteral("IPAGothic")) << c.name;
        EXPECT_EQ(f.pixelSize(), qRound(spec.points * 96.0 / 72.0)) << c.name;
        EXPECT_EQ(f.bold(), spec.bold) << c.name;
    }
}

// The free-text command box is built once the window has been painted, out of the way of the
// first paint; asked for by name before, it is there at once.
TEST(Window, TheCommandBoxIsBuiltAfterTheFirstPaintAndFoundByName) {
    {
        PtyPeer com1, com2;
        QtSerialControl serial(com1.path(), com2.path());
        QtPanel assembled(serial);
        EXPECT_EQ(assembled.window.findChild<QLineEdit*>(QStringLiteral("Text1")), nullptr);
        assembled.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return assembled.window.findChild<QLineEdit*>(QStringLiteral("Text1")) != nullptr; }, 5000));
    }
    PtyPeer com1, com2;
    QtSerialControl serial(com1.path(), com2.path());
    QtPanel assembled(serial);
    EXPECT_NE(qobject_cast<QLineEdit*>(assembled.window.control("Text1")), nullptr); // asked for: built now
}

TEST(Window, AMisspeltControlNameIsLogged) {
    WindowRig r;
    static QStringList seen;
    seen.clear();
    const auto previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg) seen << text;
        });
    EXPECT_EQ(r.window.control("Lable11"), nullptr);
    r.window.surface().setCaption("Comand17", "x");
    qInstallMessageHandler(previous);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_NE(seen[0].indexOf(QStringLiteral("\"Lable11\"")), -1) << seen[0].toStdString();
    EXPECT_EQ(r.label("Command17"), "ON");
}
