// SPDX-License-Identifier: MIT
#include "panel_qt/panel_widgets.hpp"

#include "tables/layout_table.hpp"
#include "window/caption_lines.hpp"
#include "window/outline.hpp"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace tova {

namespace {
ButtonKeys::Key keyOf(const QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Space: return ButtonKeys::Key::Space;
    case Qt::Key_Return:
    case Qt::Key_Enter: return ButtonKeys::Key::Enter;
    default: return ButtonKeys::Key::Other;
    }
}
} // namespace

PanelButton::PanelButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    m_keyRelease.setSingleShot(true);
    m_keyRelease.setInterval(kAutoRepeatGapMs);
    connect(&m_keyRelease, &QTimer::timeout, this, &PanelButton::keyLetGo);
}

ButtonFace PanelButton::face() {
    return {[this] { return isDown(); }, [this](bool down) { setDown(down); }, [this] { m_keyRelease.stop(); }};
}

// The X server's auto-repeat sends release and press pairs that are not always flagged as such:
// a release that a press of the same key follows within a few milliseconds is one of them, and
// the key counts as held until a release stands.
void PanelButton::keyPressEvent(QKeyEvent* e) {
    const auto taken = input ? input->keyDown(objectName().toStdString(), keyOf(e), held, face()) : WindowInput::Key::Pass;
    if (taken == WindowInput::Key::Pass) return QPushButton::keyPressEvent(e);
    if (taken == WindowInput::Key::Drop) return e->ignore();
    e->accept();
}

void PanelButton::keyReleaseEvent(QKeyEvent* e) {
    const auto taken = input ? input->keyUp(objectName().toStdString(), keyOf(e), held, e->isAutoRepeat(),
                                            [this] { m_keyRelease.start(); })
                             : WindowInput::Key::Pass;
    if (taken == WindowInput::Key::Pass) return QPushButton::keyReleaseEvent(e);
    if (taken == WindowInput::Key::Drop) return e->ignore();
    e->accept();
}

void PanelButton::keyLetGo() {
    if (input) input->keyLetGo(objectName().toStdString(), face());
}

void PanelButton::focusOutEvent(QFocusEvent* e) {
    if (input) input->focusLost(objectName().toStdString());
    m_keyRelease.stop();
    setDown(false);
    QPushButton::focusOutEvent(e);
}

void PanelButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString caption = opt.text;
    opt.text.clear();
    p.drawControl(QStyle::CE_PushButton, opt);
    QRect r = style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this);
    QRect focusRect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &opt, this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    const QFontMetrics fm(font());
    const QFontMetricsF exact(font());
    auto text = [](std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); };
    const TextMeasure measure{
        [&](std::string_view s) { return fm.horizontalAdvance(text(s)); },
        [&](std::string_view s) {
            // As Qt's own line breaking measures a line: its advance, and the ink of its last
            // glyph where it reaches beyond.
            const QString t = text(s);
            return exact.horizontalAdvance(t) + (t.isEmpty() ? 0.0 : std::max(0.0, -exact.rightBearing(t.back())));
        },
        [&](std::string_view s) {
            const QRect box = fm.tightBoundingRect(text(s));
            return Ink{box.top(), box.height()};
        }};
    const std::string shown = QString(caption).remove(QLatin1Char('&')).toStdString();
    const auto lines = captionLines(shown, {0, 0, width(), height()}, r.width(), isDown(), measure);
    if (lines.empty()) {
        if (isDown()) r.translate(1, 1);
        p.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, caption);
    } else {
        for (const CaptionLine& l : lines) p.drawText(l.left, l.baseline, text(l.text));
        focusRect = rect().adjusted(1, 1, -1, -1); // around the lines, never through them
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = focusRect;
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool isServiceKeys(const QKeyEvent* e) {
    const auto mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    return e->key() == Qt::Key_K && mods == Qt::ControlModifier;
}

void CommandBox::keyPressEvent(QKeyEvent* e) {
    if (isServiceKeys(e)) {
        e->accept(); // received, and nothing in the box changes
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void Picture::mouseDoubleClickEvent(QMouseEvent* e) {
    emit doubleClicked();
    QLabel::mouseDoubleClickEvent(e);
}

void Surface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (const OutlineStroke& l : outlineStrokes(96)) {
        QPen pen(QColor::fromRgb(kOutlineColour), l.width);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(QPointF(l.x1, l.y1), QPointF(l.x2, l.y2));
    }
}

} // namespace tova
