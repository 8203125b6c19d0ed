// SPDX-License-Identifier: MIT
#include "window/button_keys.hpp"

#include <utility>

namespace tova {

ButtonKeys::Act ButtonKeys::press(Key key, bool heldButton) {
    if (key == Key::Other) return Act::Pass;
    if (heldButton) return Act::Ignore;
    if (m_key != Key::Other) return key == m_key ? Act::StillHeld : Act::None;
    m_key = key;
    return key == Key::Space ? Act::ShowDown : Act::Click;
}

ButtonKeys::Act ButtonKeys::release(Key key, bool heldButton, bool autoRepeat) {
    if (key == Key::Other || heldButton) return Act::Pass;
    return key == m_key && !autoRepeat ? Act::Wait : Act::None;
}

ButtonKeys::Act ButtonKeys::letGo() {
    return std::exchange(m_key, Key::Other) == Key::Space ? Act::Click : Act::None;
}

} // namespace tova
