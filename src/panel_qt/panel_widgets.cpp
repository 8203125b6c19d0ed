// SPDX-License-Identifier: MIT
#include "panel_qt/panel_widgets.hpp"

#include "tables/layout_table.hpp"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextLayout>

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

// The X server's auto-repeat sends release and press pairs that are not always flagged as such:
// a release that a press of the same key follows within a few milliseconds is one of them, and
// the key counts as held until a release stands.
void PanelButton::keyPressEvent(QKeyEvent* e) {
    switch (m_keys.press(keyOf(e), held)) {
    case ButtonKeys::Act::Pass: return QPushButton::keyPressEvent(e);
    case ButtonKeys::Act::Ignore: return e->ignore();
    case ButtonKeys::Act::ShowDown: setDown(true); break;
    case ButtonKeys::Act::Click: click(); break;
    case ButtonKeys::Act::StillHeld: m_keyRelease.stop(); break;
    case ButtonKeys::Act::None:
    case ButtonKeys::Act::Wait: break;
    }
    e->accept();
}

void PanelButton::keyReleaseEvent(QKeyEvent* e) {
    const ButtonKeys::Act act = m_keys.release(keyOf(e), held, e->isAutoRepeat());
    if (act == ButtonKeys::Act::Pass) return QPushButton::keyReleaseEvent(e);
    e->accept();
    if (act == ButtonKeys::Act::Wait) m_keyRelease.start();
}

void PanelButton::keyLetGo() {
    if (m_keys.letGo() == ButtonKeys::Act::Click && isDown()) {
        setDown(false);
        click();
    }
}

void PanelButton::focusOutEvent(QFocusEvent* e) {
    m_keys.focusLost();
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
    if (fm.horizontalAdvance(QString(caption).remove(QLatin1Char('&'))) <= r.width()) {
        if (isDown()) r.translate(1, 1);
        p.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, caption);
    } else {
        // A caption wider than the contents wraps; the contents' margins would cut its lines,
        // so they share the whole button inside its edge, with their ink evenly spaced.
        const QRect inner = rect().adjusted(2, 1, -2, -2).translated(isDown() ? 1 : 0, isDown() ? 1 : 0);
        const QStringList lines = wrappedLines(caption, inner.width());
        int ink = 0;
        for (const QString& l : lines) ink += fm.tightBoundingRect(l).height();
        const int gap = std::max(0, (inner.height() - ink) / int(lines.size() + 1));
        int y = inner.top() + gap;
        for (const QString& l : lines) {
            const QRect box = fm.tightBoundingRect(l);
            const int x = inner.left() + (inner.width() - fm.horizontalAdvance(l)) / 2;
            p.drawText(x, y - box.top(), l);
            y += box.height() + gap;
        }
        focusRect = rect().adjusted(1, 1, -1, -1); // around the lines, never through them
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = focusRect;
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

QStringList PanelButton::wrappedLines(const QString& caption, int width) const {
    QTextLayout layout(caption, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << caption.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
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
    const auto lines = outlineLines();
    auto end = [](const OutlineLine& l, bool second) {
        return second ? QPointF(l.x2, l.y2) / kTwipsPerPixel : QPointF(l.x1, l.y1) / kTwipsPerPixel;
    };
    for (const auto& l : lines) {
        // Each end reaches half the width of the widest line that meets it there, so that the
        // corners close; no line moves.
        QPointF ends[2] = {end(l, false), end(l, true)};
        const QPointF along = (ends[1] - ends[0]) / std::max(1.0, QLineF(ends[0], ends[1]).length());
        for (int e = 0; e < 2; ++e) {
            double reach = 0;
            for (const auto& other : lines)
                if (&other != &l && (end(other, false) == ends[e] || end(other, true) == ends[e]))
                    reach = std::max(reach, other.widthPixels / 2.0);
            ends[e] += (e == 0 ? -reach : reach) * along;
        }
        QPen pen(QColor::fromRgb(kOutlineColour), l.widthPixels);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(ends[0], ends[1]);
    }
}

} // namespace tova
