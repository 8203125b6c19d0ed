// SPDX-License-Identifier: MIT
#pragma once
// What the projector's replies mean in PJLink: the mapping of the bridge, as pure functions of
// the reply bytes. An answer is the result text ("1", "OK", "000000") or an error ("ERR4").
#include "bridge/projector.hpp"

#include <string>
#include <string_view>

namespace tova::bridge {

std::string powerAnswer(std::string_view statusReply);       // POWR ? from CR0
std::string errorStatusAnswer(std::string_view statusReply); // ERST ? from CR0
std::string inputAnswer(std::string_view modeReply, const Inputs& inputs); // INPT ? from CR1
std::string muteAnswer(std::string_view muteReply, const MuteState& set);  // AVMT ? from CRA
// LAMP ? from CR3, CR7 and CR0.
std::string lampAnswer(std::string_view hoursReply, std::string_view modeReply, std::string_view statusReply);
std::string modelAnswer(std::string_view reply);             // INF2 ? from CR9

} // namespace tova::bridge
