// SPDX-License-Identifier: MIT
#pragma once
// The controls that code addresses by name, each named by what it is; the value is the
// control's name in the tables and the window. A misspelt name does not compile, and the window
// and the test panel reject any name their layout does not hold.
#include <array>
#include <string_view>

namespace tova::ctl {

inline constexpr std::string_view Window = "Panel";
inline constexpr std::string_view End = "Command16";
inline constexpr std::string_view PowerOn = "Command17"; // focused at start
inline constexpr std::string_view PowerOff = "Command18";
inline constexpr std::string_view ComButton = "Command33";
inline constexpr std::string_view DataButton = "Command34";
inline constexpr std::string_view Send = "Command95";
inline constexpr std::string_view ClearText = "Command96";
inline constexpr std::string_view ComFrame = "Frame8";
inline constexpr std::string_view Com1 = "Option1";
inline constexpr std::string_view Com2 = "Option2";
inline constexpr std::string_view Speed19200 = "Option9";
inline constexpr std::string_view Speed9600 = "Option10";
inline constexpr std::string_view SentTraffic = "Label11";
inline constexpr std::string_view ReceivedTraffic = "Label12";
inline constexpr std::string_view DecodedReply = "Label22";
inline constexpr std::string_view CommandBox = "Text1";
inline constexpr std::string_view Picture = "Image1";
// INPUT MODE SET 1 to 5.
inline constexpr std::array<std::string_view, 5> InputModeSet{"Command27", "Command28", "Command29",
                                                              "Command53", "Command87"};
inline constexpr std::string_view SoundMuteOn = "Command19";
inline constexpr std::string_view SoundMuteOff = "Command20";
inline constexpr std::string_view NoShowOn = "Command21";
inline constexpr std::string_view NoShowOff = "Command22";
inline constexpr std::string_view VolumeUp = "Command1"; // held
inline constexpr std::string_view VolumeDown = "Command2";
inline constexpr std::string_view FreezeOn = "Command25";
inline constexpr std::string_view FreezeOff = "Command26";
inline constexpr std::string_view LampSelectBoth = "Command56";
inline constexpr std::string_view LampSelect1 = "Command57";
inline constexpr std::string_view LampSelect2 = "Command58";

// Every name above, for the check that the layout holds each of them.
inline constexpr std::array kAll{
    End,           PowerOn,       PowerOff,        ComButton,      DataButton,      Send,
    ClearText,     ComFrame,      Com1,            Com2,           Speed19200,      Speed9600,
    SentTraffic,   ReceivedTraffic, DecodedReply,  CommandBox,     Picture,         InputModeSet[0],
    InputModeSet[1], InputModeSet[2], InputModeSet[3], InputModeSet[4], SoundMuteOn, SoundMuteOff,
    NoShowOn,      NoShowOff,     FreezeOn,        FreezeOff,      LampSelectBoth,  LampSelect1,
    LampSelect2,   VolumeUp,      VolumeDown};

} // namespace tova::ctl
