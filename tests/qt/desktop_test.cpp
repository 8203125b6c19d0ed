// SPDX-License-Identifier: MIT
// The panel on a real X server with a window manager (tests/desktop_test.sh starts both).
// Elsewhere these tests skip: offscreen there is no frame and no key auto-repeat.
#include "tables/layout_table.hpp"
#include "window_rig.hpp"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>

using namespace tova;
using namespace tova::test;

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool onADesktop() {
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
               .contains(QLatin1String("window id"));
}

// The window as the X server and the window manager have it: client area and frame extents.
struct XGeometry {
    int x = 0, y = 0, width = 0, height = 0;      // the client area on the screen
    int left = 0, right = 0, top = 0, bottom = 0; // _NET_FRAME_EXTENTS
    int outerHeight() const { return height + top + bottom; }
};

XGeometry xGeometry(WId id) {
    XGeometry g;
    const QString wid = QString::number(id);
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), wid});
    auto field = [&](const char* name) {
        const auto m = QRegularExpression(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name))).match(info);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    g.x = field("Absolute upper-left X");
    g.y = field("Absolute upper-left Y");
    g.width = field("Width");
    g.height = field("Height");
    const QString extents = run(QStringLiteral("xprop"), {QStringLiteral("-id"), wid, QStringLiteral("_NET_FRAME_EXTENTS")});
    const auto m = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
    if (m.hasMatch()) g.left = m.captured(1).toInt(), g.right = m.captured(2).toInt(),
                      g.top = m.captured(3).toInt(), g.bottom = m.captured(4).toInt();
    return g;
}

// Until the window manager has framed the window and the panel has followed its frame.
bool waitFor(WindowRig& r, int outerPixels) {
    return QTest::qWaitFor([&] { return xGeometry(r.window.winId()).outerHeight() == outerPixels; }, 5000);
}

} // namespace

TEST(Desktop, OuterHeightCountsTheTitleBarAtStartAndAfterEveryChange) {
    if (!onADesktop()) GTEST_SKIP() << "needs an X display with a window manager";
    WindowRig r;
    ASSERT_TRUE(waitFor(r, 357)) << "at start: " << xGeometry(r.window.winId()).outerHeight();
    EXPECT_GT(xGeometry(r.window.winId()).top, 0); // a title bar is there to be counted
    struct Step {
        const char* what;
        int twips;
    } steps[] = {{"Ctrl+K", 7200}, {"double-click", 9100}, {"data button", 5350}, {"data button", 6645}};
    for (const auto& s : steps) {
        if (std::string_view(s.what) == "Ctrl+K")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier);
        else if (std::string_view(s.what) == "double-click")
            QTest::mouseDClick(r.w("Image1"), Qt::LeftButton);
        else
            r.click("Command34");
        EXPECT_EQ(r.window.surface().height(), s.twips) << s.what;
        EXPECT_TRUE(waitFor(r, qRound(s.twips / 15.0)))
            << s.what << ": outer " << xGeometry(r.window.winId()).outerHeight();
    }
}

TEST(Desktop, CentredForTheWindowAsLaidOutWithItsFrame) {
    if (!onADesktop()) GTEST_SKIP() << "needs an X display with a window manager";
    WindowRig r;
    ASSERT_TRUE(waitFor(r, 357));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const XGeometry g = xGeometry(r.window.winId());
        const QRect screen = r.window.screen()->geometry();
        const double outerWidth = g.width + g.left + g.right;
        const double laidOut = kClientHeight / 15.0 + g.top + g.bottom;
        return std::abs((g.x - g.left) - (screen.width() - outerWidth) / 2) <= 1 &&
               std::abs((g.y - g.top) - (screen.height() - laidOut) / 2) <= 1;
    }, 3000)) << "frame at " << xGeometry(r.window.winId()).x << "," << xGeometry(r.window.winId()).y;
}

TEST(Desktop, SpaceHeldOnAButtonSendsOneLine) {
    if (!onADesktop()) GTEST_SKIP() << "needs an X display with a window manager";
    run(QStringLiteral("xset"), {QStringLiteral("r"), QStringLiteral("on")});
    WindowRig r;
    ASSERT_TRUE(waitFor(r, 357));
    r.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == r.w("Command17"); }, 3000));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("space")});
    QTest::qWait(1200); // held: the X server repeats the key meanwhile
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("space")});
    EXPECT_EQ(r.com1.readBytes(4), "C00\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !r.button("Command17")->isDown(); }, 2000));
    r.click("Command18"); // a marker: any second C00 would arrive before it
    EXPECT_EQ(r.com1.readBytes(4), "C01\r");
}
