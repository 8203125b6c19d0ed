// SPDX-License-Identifier: MIT
#include "panel_qt/input_router.hpp"

#include "panel/form1.hpp"
#include "panel_qt/panel_widgets.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QRadioButton>

namespace tova {

InputRouter::Handlers InputRouter::handlersOf(Form1& f) {
    return {[&f](const std::string& n) { f.click(n); },
            [&f](const std::string& n) { return f.mouseDown(n); },
            [&f](const std::string& n) { f.mouseUp(n); },
            [&f] { return f.releaseHeld(); },
            [&f] { f.onPictureDoubleClick(); },
            [&f](int key, int shift) { f.onKeyDown(key, shift); }};
}

InputRouter::InputRouter(QWidget* window, const std::map<std::string, QWidget*, std::less<>>& controls, Handlers handlers)
    : QObject(window), m_window(window), m_controls(controls), m_to(std::move(handlers)) {
    for (const auto& [name, w] : controls) wire(name, w);
    qApp->installEventFilter(this);
}

void InputRouter::wire(const std::string& name, QWidget* w) {
    if (auto* b = qobject_cast<PanelButton*>(w)) {
        // A held button's press and release reach the application's filter, like every key.
        if (!b->held) connect(b, &QPushButton::clicked, this, [this, n = name] { m_to.click(n); });
    } else if (auto* o = qobject_cast<QRadioButton*>(w)) {
        // Every click runs the handler, also on the option already marked.
        connect(o, &QRadioButton::clicked, this, [this, n = name] { m_to.click(n); });
    } else if (auto* p = qobject_cast<Picture*>(w)) {
        connect(p, &Picture::doubleClicked, this, [this] { m_to.pictureDoubleClick(); });
    }
}

InputRouter::~InputRouter() { qApp->removeEventFilter(this); }

void InputRouter::releaseHeld() {
    const std::string name = m_to.releaseHeld();
    if (auto it = m_controls.find(name); it != m_controls.end())
        if (auto* b = qobject_cast<QAbstractButton*>(it->second)) b->setDown(false);
}

bool InputRouter::keyPress(QObject* watched, QEvent* event) {
    // The window sees every key before the focused control and passes it on.
    QWidget* focus = QApplication::focusWidget();
    if (watched != (focus ? focus : m_window) || (focus && focus->window() != m_window)) return false;
    auto* k = static_cast<QKeyEvent*>(event);
    const auto m = k->modifiers();
    const int shift = (m & Qt::ShiftModifier ? Form1::kShiftMask : 0) |
                      (m & Qt::ControlModifier ? Form1::kCtrlMask : 0) |
                      (m & Qt::AltModifier ? Form1::kAltMask : 0);
    m_to.key(k->key(), shift);
    return false;
}

bool InputRouter::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::KeyPress) return keyPress(watched, event);
    auto* button = qobject_cast<PanelButton*>(watched);
    if (!button || !button->held) return false;
    const std::string name = button->objectName().toStdString();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        if (m_to.mouseDown(name)) button->setDown(true);
        return true;
    }
    if (type == QEvent::MouseButtonRelease) {
        m_to.mouseUp(name);
        if (button->isDown()) button->setDown(false);
        return true;
    }
    return false;
}

} // namespace tova
