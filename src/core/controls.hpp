// SPDX-License-Identifier: MIT
#pragma once
// Names of the controls the handlers and the window's adapter address by name. A misspelt name
// does not compile; the window and the test panel reject any name their layout does not hold.
#include <array>
#include <string_view>

namespace tova::ctl {

inline constexpr std::string_view Form1 = "Form1";
inline constexpr std::string_view Command16 = "Command16"; // END
inline constexpr std::string_view Command17 = "Command17"; // POWER ON, focused at start
inline constexpr std::string_view Command33 = "Command33"; // COM
inline constexpr std::string_view Command34 = "Command34"; // data button
inline constexpr std::string_view Command95 = "Command95"; // SEND
inline constexpr std::string_view Command96 = "Command96"; // CLS
inline constexpr std::string_view Frame8 = "Frame8";       // COM frame
inline constexpr std::string_view Option1 = "Option1";     // COM1
inline constexpr std::string_view Option2 = "Option2";     // COM2
inline constexpr std::string_view Option9 = "Option9";     // 19200
inline constexpr std::string_view Option10 = "Option10";   // 9600
inline constexpr std::string_view Label11 = "Label11";     // sent traffic
inline constexpr std::string_view Label12 = "Label12";     // received traffic
inline constexpr std::string_view Label22 = "Label22";     // decoded reply
inline constexpr std::string_view Text1 = "Text1";         // free-text command
inline constexpr std::string_view Image1 = "Image1";       // the picture

// Buttons whose codes the virtual projector and the bridge act on, read from the button table.
inline constexpr std::string_view Command18 = "Command18"; // POWER OFF
inline constexpr std::array<std::string_view, 5> kInputModeSet{"Command27", "Command28", "Command29",
                                                               "Command53", "Command87"}; // 1 to 5
inline constexpr std::string_view Command19 = "Command19"; // SOUND MUTE ON
inline constexpr std::string_view Command20 = "Command20"; // SOUND MUTE OFF
inline constexpr std::string_view Command21 = "Command21"; // NO SHOW ON
inline constexpr std::string_view Command22 = "Command22"; // NO SHOW OFF
inline constexpr std::string_view Command56 = "Command56"; // LAMP SELECT 2 LAMP
inline constexpr std::string_view Command57 = "Command57"; // LAMP SELECT 1
inline constexpr std::string_view Command58 = "Command58"; // LAMP SELECT 2
inline constexpr std::string_view Command44 = "Command44"; // STATUS
inline constexpr std::string_view Command45 = "Command45"; // MODE
inline constexpr std::string_view Command46 = "Command46"; // L-TIME
inline constexpr std::string_view Command47 = "Command47"; // SETTING
inline constexpr std::string_view Command54 = "Command54"; // TEMP
inline constexpr std::string_view Command55 = "Command55"; // L-MODE
inline constexpr std::string_view Command38 = "Command38"; // PC type
inline constexpr std::string_view Command12 = "Command12"; // SETTING 2
inline constexpr std::string_view Command99 = "Command99"; // PRESSURE

// Every name above, for the check that the layout holds each of them.
inline constexpr std::array kAll{
    Command16, Command17,        Command33,        Command34,        Command95,        Command96,
    Frame8,    Option1,          Option2,          Option9,          Option10,         Label11,
    Label12,   Label22,          Text1,            Image1,           Command18,        kInputModeSet[0],
    kInputModeSet[1], kInputModeSet[2], kInputModeSet[3], kInputModeSet[4], Command19, Command20,
    Command21, Command22,        Command56,        Command57,        Command58,        Command44,
    Command45, Command46,        Command47,        Command54,        Command55,        Command38,
    Command12, Command99};

} // namespace tova::ctl
