#include "qt/panel_widgets.hpp"

#include "panel/layout_table.hpp"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace tova {

void PanelButton::keyPressEvent(QKeyEvent* e) {
    if (!held && !e->isAutoRepeat() && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        click();
        return;
    }
    if (held && (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        e->ignore(); // a held button is not activated from the keyboard
        return;
    }
    QPushButton::keyPressEvent(e);
}

void PanelButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString caption = opt.text;
    opt.text.clear();
    p.drawControl(QStyle::CE_PushButton, opt);
    QRect r = style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this);
    if (isDown()) r.translate(1, 1);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &opt, this);
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
    for (const auto& l : outlineLines()) {
        QPen pen(QColor::fromRgb(kOutlineColour), l.widthPixels);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(QPointF(l.x1, l.y1) / kTwipsPerPixel, QPointF(l.x2, l.y2) / kTwipsPerPixel);
    }
}

} // namespace tova
