// SPDX-License-Identifier: MIT
// The ports offered in the Qt window, its widgets driven as the operator would: the box's Yes,
// COM's context menu and the name typed under Other...
#include "window_rig.hpp"

#include <QContextMenuEvent>
#include <QInputDialog>
#include <QMenu>

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::test;

namespace {

struct Offered {
    PtyPeer adapter, other;
    std::vector<std::pair<int, std::string>> kept;
    PortChoices choices() {
        return {[this] { return std::vector<SerialPortInfo>{{adapter.path().toStdString(), "the test's adapter"}}; },
                [this](int port, const std::string& device) {
                    kept.emplace_back(port, device);
                    return true;
                }};
    }
};

QMenu* openMenu(WindowRig& r) {
    QWidget* com = r.w("Command33");
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(4, 4), com->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(com, &right);
    QMenu* menu = nullptr;
    const bool shown =
        QTest::qWaitFor([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; }, 3000);
    return shown ? menu : nullptr;
}

QAction* entry(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

} // namespace

TEST(PortOffer, TheBoxOffersTheAdapterAndYesLeadsComOneThere) {
    Offered o;
    WindowRig r(QStringLiteral("/nonexistent/tty-of-nobody"), o.choices());
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.box() != nullptr; }, 3000));
    QMessageBox* box = r.box();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("tova-control"));
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("COM1 (/nonexistent/tty-of-nobody): no such device (")));
    EXPECT_TRUE(box->text().endsWith(QStringLiteral("\nThis computer has %1 (the test's adapter). Use it as COM1?").arg(o.adapter.path())))
        << box->text().toStdString();
    ASSERT_NE(box->button(QMessageBox::No), nullptr);
    ASSERT_NE(box->button(QMessageBox::Yes), nullptr);
    box->button(QMessageBox::Yes)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.serial.portOpen(); }, 3000));
    EXPECT_EQ(r.serial.devicePath(1), o.adapter.path().toStdString());
    EXPECT_EQ(o.kept, (std::vector<std::pair<int, std::string>>{{1, o.adapter.path().toStdString()}}));
    EXPECT_TRUE(r.w("Command33")->toolTip().startsWith(QStringLiteral("COM1: %1, ").arg(o.adapter.path())));
    r.click("Command17");
    EXPECT_EQ(o.adapter.readBytes(4), "C00\r");
}

TEST(PortOffer, TheContextMenuAndANameTypedUnderOther) {
    Offered o;
    WindowRig r({}, o.choices());
    QMenu* menu = openMenu(r);
    ASSERT_NE(menu, nullptr);
    QAction* com1 = entry(menu, QStringLiteral("COM1 leads to"));
    QAction* com2 = entry(menu, QStringLiteral("COM2 leads to"));
    ASSERT_TRUE(com1 && com1->menu() && com2 && com2->menu());
    QAction* now = entry(com1->menu(), r.com1.path());
    ASSERT_NE(now, nullptr);
    EXPECT_TRUE(now->isChecked());
    ASSERT_NE(entry(com1->menu(), QStringLiteral("%1 (the test's adapter)").arg(o.adapter.path())), nullptr);
    entry(com2->menu(), QStringLiteral("Other..."))->trigger();
    menu->close();
    QInputDialog* ask = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (ask = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) != nullptr; }, 3000));
    EXPECT_EQ(ask->windowTitle(), QStringLiteral("tova-control"));
    EXPECT_EQ(ask->textValue(), r.com2.path());
    ask->setTextValue(o.other.path());
    ask->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.serial.commPort() == 2 && r.serial.portOpen(); }, 3000));
    EXPECT_EQ(r.serial.devicePath(2), o.other.path().toStdString());
    EXPECT_TRUE(r.window.surface().marked("Option2"));
    r.click("Command17");
    EXPECT_EQ(o.other.readBytes(4), "C00\r");
}
