// SPDX-License-Identifier: MIT
#include "tables/command_table.hpp"
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

constexpr std::string_view kSourceRows[3] = {"source row 1", "source row 2", "source row 3"};

std::vector<CommandButton> build() {
    std::vector<CommandButton> t{
        {"Command17", "POWER", "C00"},
        {"Command18", "POWER", "C01"},
        {"Command27", "INPUT MODE SET", "C05"},
        {"Command28", "INPUT MODE SET", "C06"},
        {"Command29", "INPUT MODE SET", "C07"},
        {"Command53", "INPUT MODE SET", "C08"},
        {"Command87", "INPUT MODE SET", "C03"},
        {"Command19", "SOUND MUTE", "C0B"},
        {"Command20", "SOUND MUTE", "C0C"},
        {"Command21", "NO SHOW", "C0D"},
        {"Command22", "NO SHOW", "C0E"},
        {"Command31", "AV Size", "C0F"},
        {"Command32", "AV Size", "C10"},
        {"Command23", "MENU", "C1C", MenuTiming},
        {"Command24", "MENU", "C1D"},
        {"Command25", "FREEZE", "C43"},
        {"Command26", "FREEZE", "C44"},
        {"Command88", "SHUT", "CF SHUTLVL ON"},
        {"Command89", "SHUT", "CF SHUTLVL NORMAL"},
        {"Command97", "FAN SPEED", "CF FANSPEED MAX"},
        {"Command98", "FAN SPEED", "CF FANSPEED NOR"},
        {"Command56", "LAMP SELECT", "C70"},
        {"Command57", "LAMP SELECT", "C71"},
        {"Command58", "LAMP SELECT", "C72"},
        {"Command13", "right column", "C89", MenuTiming},
        {"Command30", "right column", "C27"},
        {"Command14", "right column", "C8A"},
        {"Command3", "right column", "C1E"},
        {"Command4", "picture mode", "CF IMAGE STANDPC", PictureMode},
        {"Command10", "picture mode", "CF IMAGE REAL", PictureMode},
        {"Command11", "picture mode", "CF IMAGE CINEMA", PictureMode},
        {"Command39", "picture mode", "CF IMAGE STANDAV", PictureMode},
    };
    // The query buttons send the query table's codes.
    const std::pair<std::string_view, QueryId> queryButtons[] = {
        {"Command44", QueryId::Status},   {"Command45", QueryId::InputMode},
        {"Command46", QueryId::LampHours}, {"Command47", QueryId::Reversal},
        {"Command54", QueryId::Temperatures}, {"Command55", QueryId::LampMode},
        {"Command38", QueryId::PcType},   {"Command12", QueryId::MuteAndSignal},
        {"Command99", QueryId::Pressure},
    };
    for (auto [name, id] : queryButtons) t.push_back({name, "queries", std::string(query(id).code)});
    for (int row = 1; row <= 3; ++row)
        for (const auto& col : kSources)
            t.push_back({col.buttons[row - 1], kSourceRows[row - 1],
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
