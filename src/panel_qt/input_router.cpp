// SPDX-License-Identifier: MIT
#include "panel_qt/input_router.hpp"

#include "panel_qt/panel_widgets.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QRadioButton>

namespace tova {

InputRouter::InputRouter(QWidget* window, const std::map<std::string, QWidget*, std::less<>>& controls, WindowInput& input)
    : QObject(window), m_window(window), m_input(input) {
    for (const auto& [name, w] : controls) wire(name, w);
    qApp->installEventFilter(this);
}

void InputRouter::wire(const std::string& name, QWidget* w) {
    if (auto* b = qobject_cast<PanelButton*>(w)) {
        b->input = &m_input;
        // A held button's press and release reach the application's filter, like every key.
        if (!b->held) connect(b, &QPushButton::clicked, this, [this, n = name] { m_input.click(n); });
        // The right button's click or the menu key: the button's context menu, where it has one.
        if (!b->held) {
            b->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(b, &QWidget::customContextMenuRequested, this, [this, n = name] { m_input.contextMenu(n); });
        }
    } else if (auto* o = qobject_cast<QRadioButton*>(w)) {
        // Every click runs the handler, also on the option already marked.
        connect(o, &QRadioButton::clicked, this, [this, n = name] { m_input.click(n); });
    } else if (auto* p = qobject_cast<Picture*>(w)) {
        connect(p, &Picture::doubleClicked, this, [this] { m_input.pictureDoubleClick(); });
    }
}

InputRouter::~InputRouter() { qApp->removeEventFilter(this); }

bool InputRouter::keyPress(QObject* watched, QEvent* event) {
    // The window sees every key before the focused control and passes it on.
    QWidget* focus = QApplication::focusWidget();
    if (watched != (focus ? focus : m_window) || (focus && focus->window() != m_window)) return false;
    auto* k = static_cast<QKeyEvent*>(event);
    const auto m = k->modifiers();
    m_input.windowKey(k->key(), m & Qt::ShiftModifier, m & Qt::ControlModifier, m & Qt::AltModifier);
    return false;
}

bool InputRouter::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::KeyPress) return keyPress(watched, event);
    auto* button = qobject_cast<PanelButton*>(watched);
    if (!button || !button->held) return false;
    const std::string name = button->objectName().toStdString();
    const ButtonFace face{[button] { return button->isDown(); }, [button](bool down) { button->setDown(down); }};
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        m_input.pointerDown(name, face);
        return true;
    }
    if (type == QEvent::MouseButtonRelease) {
        m_input.pointerUp(name, face);
        return true;
    }
    return false;
}

} // namespace tova
