// SPDX-License-Identifier: MIT
#pragma once
// A key on the focused button, as both windows deliver it: the space bar shows the button down
// and clicks it at its release, Enter clicks it at its press; a key held down (its auto-repeat,
// flagged or not) is one press; a held button is worked with the pointer only, never the keys.
#include <cstdint>

namespace tova {

class ButtonKeys {
  public:
    enum class Key : std::uint8_t { Space, Enter, Other };
    enum class Act : std::uint8_t {
        Pass,     // no key of the button's: the window's own handling
        Ignore,   // an activation key on a held button: nothing, and no default handling either
        None,     // taken; nothing to show
        StillHeld, // a press of the key held already: its last release was an auto-repeat's
        ShowDown, // shown down until its release
        Click,    // shown up (if down) and clicked now
        Wait,     // a release that may be an auto-repeat: letGo() once no press has followed
    };

    Act press(Key key, bool heldButton);
    // autoRepeat: the window system says the release belongs to an auto-repeat.
    Act release(Key key, bool heldButton, bool autoRepeat);
    // The key's release stands: the space bar's click.
    Act letGo();
    // The focus has gone: a key that leaves with it activates nothing; the button shows up.
    void focusLost() { m_key = Key::Other; }

  private:
    Key m_key = Key::Other; // the activation key held on the button; Other: none
};

} // namespace tova
