// SPDX-License-Identifier: MIT
#pragma once
// The one-shot buttons: what each sends, and the few that also set timings.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tova {

enum class CommandExtra {
    None,
    PictureMode, // first the long reply time-out and display clear
    Source,      // first the input change's reply time-out and display clear
    MenuTiming,  // after the send: the menu's repeat period and arrow-pad timing
};

struct CommandButton {
    std::string_view name; // its caption is the layout's
    std::string_view group;
    std::string code;
    CommandExtra extra = CommandExtra::None;
};

// One column of the input-source matrix: caption, source word, and its button in rows 1 to 3.
struct SourceColumn {
    std::string_view caption;
    std::string_view word;
    std::string_view buttons[3];
};

std::span<const SourceColumn> sourceMatrix();

// Every one-shot button, the 24 source buttons included.
const std::vector<CommandButton>& commandButtons();
const CommandButton* findCommandButton(std::string_view name);
// The code the named button sends; empty for a name that is no one-shot button.
std::string_view codeOf(std::string_view name);

} // namespace tova
