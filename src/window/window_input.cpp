// SPDX-License-Identifier: MIT
#include "window/window_input.hpp"

#include "panel/panel.hpp"

namespace tova {

InputHandlers handlersOf(Panel& panel) {
    return {[&panel](const std::string& n) { panel.click(n); },
            [&panel](const std::string& n) { return panel.mouseDown(n); },
            [&panel](const std::string& n) { panel.mouseUp(n); },
            [&panel] { return panel.releaseHeld(); },
            [&panel] { panel.onPictureDoubleClick(); },
            [&panel](int key, int shift) { panel.onKeyDown(key, shift); },
            [&panel](const std::string& n) { panel.contextMenu(n); }};
}

void WindowInput::click(const std::string& control) const {
    if (m_to.click) m_to.click(control);
}

void WindowInput::contextMenu(const std::string& control) const {
    if (m_to.contextMenu) m_to.contextMenu(control);
}

void WindowInput::pictureDoubleClick() const {
    if (m_to.pictureDoubleClick) m_to.pictureDoubleClick();
}

void WindowInput::windowKey(int key, bool shift, bool ctrl, bool alt) const {
    const int state = (shift ? Panel::kShiftMask : 0) | (ctrl ? Panel::kCtrlMask : 0) | (alt ? Panel::kAltMask : 0);
    if (m_to.key) m_to.key(key, state);
}

bool WindowInput::pointerDown(const std::string& control, const ButtonFace& face) const {
    // Any pointer button holds it; one pointer holds one button.
    if (!m_to.mouseDown || !m_to.mouseDown(control)) return false;
    face.setDown(true);
    return true;
}

void WindowInput::pointerUp(const std::string& control, const ButtonFace& face) const {
    if (m_to.mouseUp) m_to.mouseUp(control);
    if (face.isDown()) face.setDown(false);
}

WindowInput::Key WindowInput::keyDown(const std::string& control, ButtonKeys::Key key, bool held, const ButtonFace& face) {
    using Act = ButtonKeys::Act;
    ButtonKeys& keys = m_keys[control];
    switch (keys.press(key, held)) {
    case Act::Pass: return Key::Pass;
    case Act::Ignore: return Key::Drop; // a held button's keys do nothing at all
    case Act::ShowDown: face.setDown(true); break;
    case Act::Click:
        if (face.isDown()) face.setDown(false);
        click(control);
        break;
    case Act::StillHeld:
        if (face.stillHeld) face.stillHeld();
        break;
    case Act::None:
    case Act::Wait: break;
    }
    return Key::Taken;
}

WindowInput::Key WindowInput::keyUp(const std::string& control, ButtonKeys::Key key, bool held, bool autoRepeat,
                                    const std::function<void()>& afterRelease) {
    if (held && key != ButtonKeys::Key::Other) return Key::Drop;
    const ButtonKeys::Act act = m_keys[control].release(key, held, autoRepeat);
    if (act == ButtonKeys::Act::Pass) return Key::Pass;
    if (act == ButtonKeys::Act::Wait) afterRelease();
    return Key::Taken;
}

void WindowInput::keyLetGo(const std::string& control, const ButtonFace& face) {
    if (m_keys[control].letGo() != ButtonKeys::Act::Click || !face.isDown()) return;
    face.setDown(false);
    click(control);
}

} // namespace tova
