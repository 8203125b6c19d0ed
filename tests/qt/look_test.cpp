// SPDX-License-Identifier: MIT
// The panel as it looks and as the keyboard and mouse meet it: the picture, the data button's
// two lines, the arrow pad's outline, the option buttons' places and keys held down.
#include "tables/data_button.hpp"
#include "tables/layout_table.hpp"
#include "window_rig.hpp"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>

#include <cmath>
#include <set>

using namespace tova;
using namespace tova::test;

TEST(Window, ThePictureIsDrawn) {
    WindowRig r;
    auto* picture = qobject_cast<QLabel*>(r.w("Image1"));
    ASSERT_NE(picture, nullptr);
    const QPixmap pixmap = picture->pixmap();
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(80, 26));
    const QImage shot = r.window.grab(picture->geometry()).toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 2u); // a picture, not one flat colour
}

// The data button's captions are wider than the button: both lines are drawn whole inside it.
TEST(Window, BothLinesOfTheDataButtonAreWhole) {
    WindowRig r;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier);
    auto* button = r.button("Command34");
    const QFontMetrics fm(button->font());
    for (std::string_view caption : {kShowData, kHideData}) {
        r.window.surface().setCaption("Command34", std::string(caption));
        const QImage withText = button->grab().toImage();
        button->setText(QString());
        const QImage without = button->grab().toImage();
        r.window.surface().setCaption("Command34", std::string(caption));
        QRect ink;
        std::set<int> inkRows;
        for (int y = 0; y < withText.height(); ++y)
            for (int x = 0; x < withText.width(); ++x)
                if (withText.pixel(x, y) != without.pixel(x, y)) {
                    ink |= QRect(x, y, 1, 1);
                    inkRows.insert(y);
                }
        const QString text = QString::fromUtf8(caption.data(), qsizetype(caption.size()));
        ASSERT_GT(fm.horizontalAdvance(text), button->width()); // it must wrap
        EXPECT_TRUE(button->rect().adjusted(1, 1, -1, -1).contains(ink)) << ink.top() << " " << ink.bottom();
        // Two lines, nothing cut: as many rows of ink as the two lines' glyphs have.
        const int half = int(text.size()) / 2;
        const int expected = fm.tightBoundingRect(text.left(half + 1)).height() +
                             fm.tightBoundingRect(text.mid(half + 1)).height();
        EXPECT_GE(int(inkRows.size()), expected - 2) << "rows of ink " << inkRows.size();
    }
}

TEST(Window, AnOptionTakesAClickAnywhereInItsPlace) {
    WindowRig r;
    r.click("Command33"); // the COM frame, with the port and speed options
    for (const auto& c : layoutControls()) {
        if (c.kind != Kind::Option) continue;
        auto* option = qobject_cast<QRadioButton*>(r.w(std::string(c.name).c_str()));
        r.closeBoxes();
        if (!r.w("Frame8")->isVisible()) r.click("Command33");
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(option->width() * 9 / 10, option->height() / 2));
        EXPECT_TRUE(option->isChecked()) << c.name;
    }
}

// Where two 6-pixel lines of the arrow pad's outline meet, the outer corner is drawn.
TEST(Window, TheArrowPadOutlineHasClosedCorners) {
    WindowRig r;
    const QImage shot = r.window.grab().toImage();
    const QColor outline = QColor::fromRgb(kOutlineColour);
    const auto lines = outlineLines();
    int corners = 0;
    for (const auto& a : lines)
        for (const auto& b : lines) {
            if (&a >= &b || a.widthPixels != 6 || b.widthPixels != 6) continue;
            const QPoint ea[2] = {{a.x1, a.y1}, {a.x2, a.y2}}, eb[2] = {{b.x1, b.y1}, {b.x2, b.y2}};
            for (int i = 0; i < 2; ++i)
                for (int j = 0; j < 2; ++j) {
                    if (ea[i] != eb[j]) continue;
                    // Unit steps from the corner along each line, and the point outside both.
                    const QPointF da = QPointF(ea[1 - i] - ea[i]) / QLineF(ea[0], ea[1]).length();
                    const QPointF db = QPointF(eb[1 - j] - eb[j]) / QLineF(eb[0], eb[1]).length();
                    const QPointF corner = QPointF(ea[i]) / kTwipsPerPixel - 2.5 * da - 2.5 * db;
                    const QPoint pixel(int(std::floor(corner.x())), int(std::floor(corner.y())));
                    EXPECT_EQ(shot.pixelColor(pixel), outline) << a.name << "/" << b.name;
                    ++corners;
                }
        }
    EXPECT_EQ(corners, 6);
    for (const auto& l : lines) { // and every line where it was laid out
        const QPoint mid((l.x1 + l.x2) / 2 / kTwipsPerPixel, (l.y1 + l.y2) / 2 / kTwipsPerPixel);
        EXPECT_EQ(shot.pixelColor(mid), outline) << l.name;
    }
}

// Auto-repeat reaches the button as release and press pairs, some of them not flagged.
TEST(Window, AKeyHeldOnAButtonIsOnePress) {
    for (auto key : {Qt::Key_Space, Qt::Key_Return}) {
        WindowRig r;
        QWidget* on = r.w("Command17");
        on->setFocus();
        QTest::keyPress(on, key);
        for (int i = 0; i < 10; ++i) { // the X server's repeat, flagged as such or not
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(), i % 2 == 1);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), i % 2 == 1);
            QApplication::sendEvent(on, &release);
            QApplication::sendEvent(on, &press);
        }
        QTest::keyRelease(on, key);
        EXPECT_EQ(r.com1.readBytes(4), "C00\r");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !r.button("Command17")->isDown(); }, 2000));
        r.click("Command18"); // a marker: a second C00 would arrive before it
        EXPECT_EQ(r.com1.readBytes(4), "C01\r") << key;
    }
}
