// SPDX-License-Identifier: MIT
#include "tables/command_table.hpp"
#include "tables/button_groups.hpp"
#include "tables/find_named.hpp"

#include "link/query_table.hpp"

#include <array>

namespace tova {
namespace {

using enum CommandExtra;

constexpr std::array<SourceColumn, 8> kSources{{
    {"DVI", "DIGITAL", {"Command63", "Command71", "Command79"}},
    {"RGB", "ANALOG", {"Command64", "Command72", "Command80"}},
    {"VIDEO", "VIDEO", {"Command65", "Command73", "Command81"}},
    {"YPbPr", "YPBPR", {"Command66", "Command74", "Command82"}},
    {"YCbCr", "YCBCR", {"Command67", "Command75", "Command83"}},
    {"S-VIDEO", "S-VIDEO", {"Command68", "Command76", "Command84"}},
    {"YC", "YC", {"Command69", "Command77", "Command85"}},
    {"SDI-1", "SDI1", {"Command70", "Command78", "Command86"}},
}};

std::vector<CommandButton> build() {
    std::vector<CommandButton> t{
        {"Command17", groups::Power, "C00"},
        {"Command18", groups::Power, "C01"},
        {"Command27", groups::InputMode, "C05"},
        {"Command28", groups::InputMode, "C06"},
        {"Command29", groups::InputMode, "C07"},
        {"Command53", groups::InputMode, "C08"},
        {"Command87", groups::InputMode, "C03"},
        {"Command19", groups::SoundMute, "C0B"},
        {"Command20", groups::SoundMute, "C0C"},
        {"Command21", groups::NoShow, "C0D"},
        {"Command22", groups::NoShow, "C0E"},
        {"Command31", groups::AvSize, "C0F"},
        {"Command32", groups::AvSize, "C10"},
        {"Command23", groups::Menu, "C1C", MenuTiming},
        {"Command24", groups::Menu, "C1D"},
        {"Command25", groups::Freeze, "C43"},
        {"Command26", groups::Freeze, "C44"},
        {"Command88", groups::Shut, "CF SHUTLVL ON"},
        {"Command89", groups::Shut, "CF SHUTLVL NORMAL"},
        {"Command97", groups::FanSpeed, "CF FANSPEED MAX"},
        {"Command98", groups::FanSpeed, "CF FANSPEED NOR"},
        {"Command56", groups::LampSelect, "C70"},
        {"Command57", groups::LampSelect, "C71"},
        {"Command58", groups::LampSelect, "C72"},
        {"Command13", groups::SingleCommands, "C89", MenuTiming},
        {"Command30", groups::SingleCommands, "C27"},
        {"Command14", groups::SingleCommands, "C8A"},
        {"Command3", groups::SingleCommands, "C1E"},
        {"Command4", groups::PictureMode, "CF IMAGE STANDPC", PictureMode},
        {"Command10", groups::PictureMode, "CF IMAGE REAL", PictureMode},
        {"Command11", groups::PictureMode, "CF IMAGE CINEMA", PictureMode},
        {"Command39", groups::PictureMode, "CF IMAGE STANDAV", PictureMode},
    };
    // The query buttons send the query table's codes.
    const std::pair<std::string_view, QueryId> queryButtons[] = {
        {"Command44", QueryId::Status},   {"Command45", QueryId::InputMode},
        {"Command46", QueryId::LampHours}, {"Command47", QueryId::Reversal},
        {"Command54", QueryId::Temperatures}, {"Command55", QueryId::LampMode},
        {"Command38", QueryId::PcType},   {"Command12", QueryId::MuteAndSignal},
        {"Command99", QueryId::Pressure},
    };
    for (auto [name, id] : queryButtons) t.push_back({name, groups::StatusQueries, std::string(query(id).code)});
    for (int row = 1; row <= 3; ++row)
        for (const auto& col : kSources)
            t.push_back({col.buttons[row - 1], groups::InputSource[row - 1],
                         "CF INPUT" + std::to_string(row) + " " + std::string(col.word), Source});
    return t;
}

} // namespace

std::span<const SourceColumn> sourceMatrix() { return kSources; }

const std::vector<CommandButton>& commandButtons() {
    static const std::vector<CommandButton> table = build();
    return table;
}

const CommandButton* findCommandButton(std::string_view name) {
    return findNamed(commandButtons(), name);
}

std::string_view codeOf(std::string_view name) {
    const CommandButton* b = findCommandButton(name);
    return b ? std::string_view(b->code) : std::string_view();
}

} // namespace tova
