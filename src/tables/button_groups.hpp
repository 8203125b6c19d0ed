// SPDX-License-Identifier: MIT
#pragma once
// The groups the panel's buttons fall into, named for what the buttons are for, in the order the
// web remote shows them: on a phone held in one hand, what the back of the hall reaches for first
// (power, input, mute, the lens), the source matrices after them, folded. The command and hold tables take their names from here, and through
// them the web page, tova-send --list and its manual page.
#include <string_view>

namespace tova::groups {

inline constexpr std::string_view Power = "POWER", InputMode = "INPUT MODE SET", SoundMute = "SOUND MUTE",
                                  NoShow = "NO SHOW", Freeze = "FREEZE", Menu = "MENU", MenuArrows = "Menu arrows",
                                  SingleCommands = "Single commands", PictureMode = "picture mode", AvSize = "AV Size",
                                  LampSelect = "LAMP SELECT", Shut = "SHUT", FanSpeed = "FAN SPEED", Volume = "VOL",
                                  Zoom = "Zoom", Focus = "Focus", DigitalZoom = "D.Zoom", Keystone = "Keystone",
                                  LensShift = "LENS SHIFT", StatusQueries = "Status queries";
// The rows of the source matrix send CF INPUT1 ... to CF INPUT3 ...
inline constexpr std::string_view InputSource[3] = {"Input 1 source", "Input 2 source", "Input 3 source"};

inline constexpr std::string_view kInOrder[] = {
    Power,      InputMode, SoundMute,  NoShow,         Focus,       Zoom,     LensShift, InputSource[0],
    InputSource[1], InputSource[2], Freeze, Menu,      MenuArrows,  SingleCommands, PictureMode, AvSize,
    LampSelect, Shut,      FanSpeed,   Volume,         DigitalZoom, Keystone, StatusQueries,
};

} // namespace tova::groups
