#include "panel/command_table.hpp"
#include "panel/find_named.hpp"

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
        {"Command17", "ON", "C00"},       // POWER
        {"Command18", "OFF", "C01"},
        {"Command27", "1", "C05"},        // INPUT MODE SET
        {"Command28", "2", "C06"},
        {"Command29", "3", "C07"},
        {"Command53", "4", "C08"},
        {"Command87", "5", "C03"},
        {"Command19", "ON", "C0B"},       // SOUND MUTE
        {"Command20", "OFF", "C0C"},
        {"Command21", "ON", "C0D"},       // NO SHOW
        {"Command22", "OFF", "C0E"},
        {"Command31", "Nopmal", "C0F"},   // AV Size
        {"Command32", "Full", "C10"},
        {"Command23", "ON", "C1C", MenuTiming}, // MENU
        {"Command24", "OFF", "C1D"},
        {"Command25", "ON", "C43"},       // FREEZE
        {"Command26", "OFF", "C44"},
        {"Command88", "ON", "CF SHUTLVL ON"}, // SHUT
        {"Command89", "OFF", "CF SHUTLVL NORMAL"},
        {"Command97", "MAX", "CF FANSPEED MAX"}, // FAN SPEED
        {"Command98", "NOR", "CF FANSPEED NOR"},
        {"Command56", "2 LAMP", "C70"},   // LAMP SELECT
        {"Command57", "1", "C71"},
        {"Command58", "2", "C72"},
        {"Command13", "A-PC Adj", "C89", MenuTiming}, // right column
        {"Command30", "IMAGE", "C27"},
        {"Command14", "P-TIMER", "C8A"},
        {"Command3", "DISPLAY CLEAR", "C1E"},
        {"Command4", "STAND PC", "CF IMAGE STANDPC", PictureMode},
        {"Command10", "REAL", "CF IMAGE REAL", PictureMode},
        {"Command11", "CINEMA", "CF IMAGE CINEMA", PictureMode},
        {"Command39", "STAND AV", "CF IMAGE STANDAV", PictureMode},
        {"Command44", "STATUS", "CR0"},   // queries
        {"Command45", "MODE", "CR1"},
        {"Command46", "L-TIME", "CR3"},
        {"Command47", "SETTING", "CR4"},
        {"Command54", "TEMP", "CR6"},
        {"Command55", "L-MODE", "CR7"},
        {"Command38", "PC type", "CR9"},
        {"Command12", "SETTING 2", "CRA"},
        {"Command99", "PRESSURE", "CR PRESSURE"},
    };
    for (int row = 1; row <= 3; ++row)
        for (const auto& col : kSources)
            t.push_back({col.buttons[row - 1], col.caption,
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

} // namespace tova
