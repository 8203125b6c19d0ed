// SPDX-License-Identifier: MIT
#pragma once
// What the projector's replies mean in PJLink: the mapping of the bridge, as pure functions of
// the reply bytes. An answer is the result text ("1", "OK", "000000") or an error ("ERR4").
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tova::bridge {

// A projector's name, as NAME ? answers it: 1 to 64 characters.
inline constexpr std::size_t kMaxNameLength = 64;
inline constexpr std::string_view kNameRule = "name= takes 1 to 64 characters";
inline bool validName(std::string_view name) { return !name.empty() && name.size() <= kMaxNameLength; }

// PJLink codes of input modes 1 to 5.
using Inputs = std::array<std::string, 5>;
inline const Inputs kDefaultInputs{"11", "12", "13", "14", "15"};

// The mute state set through the bridge, for a projector that cannot tell it (no signal).
struct MuteState {
    std::optional<bool> video, audio;
};

// What each digit of an ERST answer is about, in order (0 fine, 1 warning, 2 error).
inline constexpr std::array<std::string_view, 6> kErrorNames{"fan", "lamp", "temperature", "cover", "filter", "other"};

std::string powerAnswer(std::string_view statusReply);       // POWR ? from CR0
std::string errorStatusAnswer(std::string_view statusReply); // ERST ? from CR0
std::string inputAnswer(std::string_view modeReply, const Inputs& inputs); // INPT ? from CR1
std::string muteAnswer(std::string_view muteReply, const MuteState& set);  // AVMT ? from CRA
// LAMP ? from CR3, CR7 and CR0.
std::string lampAnswer(std::string_view hoursReply, std::string_view modeReply, std::string_view statusReply);
std::string modelAnswer(std::string_view reply);             // INF2 ? from CR9

// An input code as Class 1 knows it (type 1-5, number 1-9), and as Class 2 does (type 1-6,
// number 1-9 or A-Z).
bool classOneInput(std::string_view code);
bool classTwoInput(std::string_view code);

// "11 31 21 22 32" or "11,31,21,22,32": five PJLink input codes, Class 2's forms allowed (a
// Class 1 client is never told of those).
std::optional<Inputs> parseInputs(std::string_view text);

// "PC,Lectern,Video,Camera,Spare": the names of input modes 1 to 5, each 1 to 128 bytes.
inline constexpr std::size_t kMaxInputName = 128;
std::optional<std::array<std::string, 5>> parseInputNames(std::string_view text);

} // namespace tova::bridge
