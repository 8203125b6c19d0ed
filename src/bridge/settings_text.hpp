// SPDX-License-Identifier: MIT
#pragma once
// The configuration file's text as the bridge reads it: INI, the line's keys first, then one
// section a listener. Each line is a key and its value, a [section], a comment (";" or "#")
// or blank; blanks around a key, a value and a section name are no part of them, so an indented
// key is a key; a value is taken whole (a name may hold blanks, commas and semicolons). Every
// mistake names its file and line: FILE:LINE: [section] key: what is wrong, and what is allowed.
#include "bridge/bridge_settings.hpp"

#include <string>
#include <string_view>
#include <variant>

namespace tova::bridge {

// Lines longer than this are refused, never cut and read as two.
inline constexpr std::size_t kMaxSettingsLine = 1024;

// The settings of a file's text; or what is wrong, as "FILE:LINE: ...".
std::variant<BridgeSettings, std::string> readSettingsText(std::string_view text, const std::string& file);

} // namespace tova::bridge
