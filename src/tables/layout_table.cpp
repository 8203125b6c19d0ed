// SPDX-License-Identifier: MIT
#include "tables/layout_table.hpp"
#include "tables/find_named.hpp"

#include "tables/address_options.hpp"
#include "tables/command_table.hpp"
#include "tables/data_button.hpp"

#include <algorithm>
#include <array>

namespace tova {
namespace {

using enum Kind;
using enum FontCode;
constexpr Rgb kCyan = 0xC0FFFF, kOn = 0xC0FFC0, kOff = 0xFFC0C0, kArrow = 0xFFE0C0,
              kBlue = 0xC0C0FF, kLamp = 0xFFFFC0, kWhite = 0xFFFFFF, kP = kPlatformColour;
constexpr auto C = Align::Center;
constexpr auto R = Align::Right;

// Geometry of the input-source matrix; names and captions come from the command table.
constexpr int kMatrixLeft[8] = {360, 1080, 1800, 2760, 3720, 4680, 5640, 6360};
constexpr int kMatrixWidth[8] = {735, 735, 975, 975, 975, 975, 735, 735};
constexpr int kMatrixTop[3] = {240, 480, 720};

std::vector<LayoutControl> build() {
    std::vector<LayoutControl> t{
        // On the window, by band.
        {"Image1", Picture, "", "", 8160, 120, 1200, 390},
        {"Command5", Button, "", "\u2191", 1200, 2520, 855, 375, kArrow, kBlack, P9B, 17},
        {"Label3", Label, "", "VOL", 3600, 2520, 495, 255, kGrey, kBlack, W, 7, C},
        {"Label13", Label, "", "Zoom", 4440, 2520, 492, 252, kGrey, kBlack, G9, 53},
        {"Label14", Label, "", "Focus", 5280, 2520, 615, 255, kGrey, kBlack, G9, 56},
        {"Label17", Label, "", "D.Zoom", 6360, 2520, 735, 255, kGrey, kBlack, G9, 63},
        {"Label18", Label, "", "Keystone", 7320, 2520, 855, 255, kGrey, kBlack, G9, 66},
        {"Command13", Button, "", "A-PC Adj", 8400, 2760, 975, 250, 0x00C0C0, kBlack, G9, 24},
        {"Command1", Button, "", "+", 3600, 2880, 375, 255, 0xFFC080, kBlack, W, 5},
        {"Command15", Button, "", "+", 4440, 2880, 375, 255, kCyan, kBlack, G9, 51},
        {"Command36", Button, "", "+", 5280, 2880, 375, 255, kCyan, kBlack, G9, 54},
        {"Command48", Button, "", "+", 6480, 2880, 375, 255, kGrey, kBlack, P9, 61},
        {"Command50", Button, "", "+", 7440, 2880, 375, 255, kGrey, kBlack, G9, 64},
        {"Command9", Button, "", "\u2190", 240, 3000, 855, 375, kArrow, kBlack, P9B, 21},
        {"Command6", Button, "", "SELECT", 1200, 3000, 855, 375, 0xFF8000, kBlack, G9, 18},
        {"Command8", Button, "", "\u2192", 2160, 3000, 855, 375, kArrow, kBlack, P9B, 20},
        {"Command30", Button, "", "IMAGE", 8400, 3120, 975, 255, kBlue, kBlack, G9, 89},
        {"Command2", Button, "", "-", 3600, 3240, 375, 255, 0xFFC080, kBlack, W, 6},
        {"Command35", Button, "", "-", 4440, 3240, 375, 255, kCyan, kBlack, G9, 52},
        {"Command37", Button, "", "-", 5280, 3240, 375, 255, kCyan, kBlack, G9, 55},
        {"Command49", Button, "", "-", 6480, 3240, 375, 255, kGrey, kBlack, G9, 62},
        {"Command51", Button, "", "-", 7440, 3240, 375, 255, kGrey, kBlack, G9, 65},
        {"Command14", Button, "", "P-TIMER", 8400, 3360, 975, 250, kBlue, kBlack, G9, 25},
        {"Command7", Button, "", "\u2193", 1200, 3480, 855, 375, kArrow, kBlack, P9B, 19},
        {"Command3", Button, "", "DISPLAY CLEAR", 8400, 3600, 975, 492, kBlue, kBlack, G9, 16},
        {"Label19", Label, "", "LAMP SELECT", 6600, 3720, 1332, 252, kGrey, kBlack, G9, 73},
        {"Command56", Button, "", "2 LAMP", 6600, 3960, 1200, 372, kLamp, kBlack, G9, 70},
        {"Command4", Button, "", "STAND PC", 240, 4080, 975, 255, kCyan, kBlack, G9, 94},
        {"Command10", Button, "", "REAL", 1200, 4080, 975, 255, kCyan, kBlack, G9, 95},
        {"Command11", Button, "", "CINEMA", 2160, 4080, 975, 255, kCyan, kBlack, G9, 96},
        {"Command33", Button, "", "COM", 4080, 4200, 1815, 375, kP, kBlack, P9, 41},
        {"Command39", Button, "", "STAND AV", 240, 4320, 975, 255, kCyan, kBlack, G9, 97},
        {"Command57", Button, "", "1", 6600, 4320, 606, 372, kLamp, kBlack, G9, 71},
        {"Command58", Button, "", "2", 7200, 4320, 606, 372, kLamp, kBlack, G9, 72},
        {"Command16", Button, "", "END", 8400, 4320, 975, 375, kGrey, kBlack, W, 26},
        {"Command34", Button, "", kShowData, 6600, 5040, 1200, 375, kGrey, kBlack, P9, 50,
         Align::Center, false, false},
        {"Command44", Button, "", "STATUS", 6480, 5640, 975, 255, kCyan, kBlack, G8_25B, 57},
        {"Command46", Button, "", "L-TIME", 7440, 5640, 975, 255, kCyan, kBlack, G8_25B, 59},
        {"Command54", Button, "", "TEMP", 8400, 5640, 975, 252, kCyan, kBlack, G8_25B, 68},
        {"Command45", Button, "", "MODE", 6480, 5880, 975, 255, kCyan, kBlack, G8_25B, 58},
        {"Command47", Button, "", "SETTING", 7440, 5880, 975, 255, kCyan, kBlack, G8_25B, 60},
        {"Command55", Button, "", "L-MODE", 8400, 5880, 975, 252, kCyan, kBlack, G8_25B, 69},
        {"Command38", Button, "", "PC type", 7080, 6240, 1095, 255, kCyan, kBlack, G8_25B, 90},
        {"Command12", Button, "", "SETTING 2", 8160, 6240, 1215, 252, kCyan, kBlack, G8_25B, 88},
        {"Command99", Button, "", "PRESSURE", 8160, 7800, 1215, 255, kArrow, kBlack, W, 135},

        // The groups, above the controls placed on the window (Frame8 covers Command33).
        {"Frame1", Frame, "", "", 120, 240, 1695, 975},
        {"Label1", Label, "Frame1", "POWER", 240, 240, 1095, 255, kGrey, 0xC00000, W, 2, C},
        {"Command17", Button, "Frame1", "ON", 120, 600, 615, 300, kOn, kBlack, P9B, 1},
        {"Command18", Button, "Frame1", "OFF", 960, 600, 615, 300, kOff, kBlack, P9B, 27},

        {"Frame2", Frame, "", "", 2160, 240, 3132, 975},
        {"Label2", Label, "Frame2", "INPUT MODE SET", 600, 240, 1935, 255, kGrey, kBlack, W, 4, C},
        {"Command27", Button, "Frame2", "1", 120, 600, 495, 300, kCyan, kBlack, P9B, 36},
        {"Command28", Button, "Frame2", "2", 720, 600, 495, 300, kCyan, kBlack, P9B, 37},
        {"Command29", Button, "Frame2", "3", 1320, 600, 495, 300, kCyan, kBlack, P9B, 38},
        {"Command53", Button, "Frame2", "4", 1920, 600, 495, 300, kCyan, kBlack, P9B, 67},
        {"Command87", Button, "Frame2", "5", 2520, 600, 495, 300, kCyan, kBlack, W, 138},

        {"Frame6", Frame, "", "", 5640, 240, 1695, 975},
        {"Label7", Label, "Frame6", "MENU", 360, 240, 975, 255, kGrey, kBlack, W, 15, C},
        {"Command23", Button, "Frame6", "ON", 120, 600, 615, 300, kOn, kBlack, P9B, 32},
        {"Command24", Button, "Frame6", "OFF", 960, 600, 615, 300, kOff, kBlack, P9B, 33},

        {"Frame10", Frame, "", "", 7920, 600, 1455, 1695},
        {"Label20", Label, "Frame10", "LENS SHIFT", 120, 195, 1215, 300, kGrey, kBlack, W, 79, C},
        {"Command59", Button, "Frame10", "\u2191", 480, 600, 492, 252, kArrow, kBlack, P7_5, 75},
        {"Command60", Button, "Frame10", "\u2190", 240, 960, 492, 252, kArrow, kBlack, P7_5, 76},
        {"Command61", Button, "Frame10", "\u2192", 720, 960, 492, 252, kArrow, kBlack, P7_5, 77},
        {"Command62", Button, "Frame10", "\u2193", 480, 1320, 492, 252, kArrow, kBlack, P7_5, 78},

        {"Frame3", Frame, "", "", 120, 1440, 1575, 855},
        {"Label4", Label, "Frame3", "SOUND MUTE", 120, 195, 1335, 300, kGrey, kBlack, W, 9, C},
        {"Command19", Button, "Frame3", "ON", 120, 480, 615, 300, kOn, kBlack, P9B, 28},
        {"Command20", Button, "Frame3", "OFF", 720, 480, 615, 300, kOff, kBlack, P9B, 29},

        {"Frame4", Frame, "", "", 1800, 1440, 1455, 855},
        {"Label5", Label, "Frame4", "NO SHOW", 120, 210, 1095, 285, kGrey, kBlack, W, 11, C},
        {"Command21", Button, "Frame4", "ON", 120, 480, 615, 300, kOn, kBlack, P9B, 30},
        {"Command22", Button, "Frame4", "OFF", 720, 480, 615, 300, kOff, kBlack, P9B, 31},

        {"Frame7", Frame, "", "", 3360, 1440, 1455, 855},
        {"Label8", Label, "Frame7", "FREEZE", 240, 210, 975, 285, kGrey, kBlack, W, 23, C},
        {"Command25", Button, "Frame7", "ON", 120, 480, 615, 300, kOn, kBlack, P9B, 34},
        {"Command26", Button, "Frame7", "OFF", 720, 480, 615, 300, kOff, kBlack, P9B, 35},

        {"Frame5", Frame, "", "", 4920, 1440, 1695, 855},
        {"Label6", Label, "Frame5", "AV Size", 360, 210, 975, 285, kGrey, kBlack, W, 13, C},
        {"Command31", Button, "Frame5", "Nopmal", 120, 480, 855, 300, kCyan, kBlack, P9, 39},
        {"Command32", Button, "Frame5", "Full", 960, 480, 615, 300, kCyan, kBlack, P9, 40},

        {"Frame12", Frame, "", "", 6720, 1440, 1095, 855},
        {"Label25", Label, "Frame12", "SHUT", 120, 210, 855, 255, kGrey, kBlack, W, 142, C},
        {"Command88", Button, "Frame12", "ON", 120, 480, 345, 300, kOn, kBlack, G9, 140},
        {"Command89", Button, "Frame12", "OFF", 480, 480, 495, 300, kOff, kBlack, G9, 141},

        {"Frame8", Frame, "", "", 3480, 3600, 2775, 1185, kGrey, kBlack, W, 0, Align::Left,
         false, false},
        {"Option1", Option, "Frame8", "COM1", 240, 240, 1215, 255, kGrey, kBlack, W, 43},
        {"Option2", Option, "Frame8", "COM2", 1560, 240, 1095, 255, kGrey, kBlack, W, 44},
        {"Frame13", Frame, "Frame8", "", 120, 480, 2535, 615},
        {"Option9", Option, "Frame13", "19200", 120, 240, 1095, 255, kGrey, kBlack, W, 92,
         Align::Left, false, true, true},
        {"Option10", Option, "Frame13", "9600", 1440, 240, 975, 300, kGrey, kBlack, W, 93},

        {"Frame9", Frame, "", "", 45, 4920, 6312, 1290},
        {"Label11", Label, "Frame9", "", 600, 180, 5610, 300, kWhite, kBlack, P9_75B, 48,
         Align::Left, true},
        {"Label9", Label, "Frame9", "TXD", 105, 210, 390, 285, kGrey, kBlack, G9, 46, R},
        {"Label12", Label, "Frame9", "", 600, 540, 5616, 300, kWhite, kBlack, P9_75B, 49,
         Align::Left, true},
        {"Label10", Label, "Frame9", "RXD", 75, 555, 450, 300, kGrey, kBlack, G9, 47, R},
        {"Label22", Label, "Frame9", "", 930, 915, 5295, 300, kWhite, 0xFF0000, P9B, 136,
         Align::Left, true},
        {"Label23", Label, "Frame9", "STATUS", 90, 975, 795, 225, kGrey, kBlack, G8_25, 137},

        {"Frame11", Frame, "", "", 75, 6225, 6765, 465},
        {"Label21", Label, "Frame11", "PJ Select", 60, 150, 1050, 255, kGrey, kBlack, G8_25, 81},
        {"Option4", Option, "Frame11", "ALL", 2280, 165, 855, 225, kGrey, kBlack, G8_25, 83},
        {"Option3", Option, "Frame11", "SINGLE", 1155, 168, 1095, 225, kGrey, kBlack, G8_25, 82,
         Align::Left, false, true, true},
        {"Option5", Option, "Frame11", "001", 3240, 180, 735, 225, kGrey, kBlack, G8_25, 84},
        {"Option6", Option, "Frame11", "002", 4080, 180, 735, 225, kGrey, kBlack, G8_25, 85},
        {"Option7", Option, "Frame11", "003", 4920, 180, 795, 225, kGrey, kBlack, G8_25, 86},
        {"Option8", Option, "Frame11", "004", 5880, 180, 795, 225, kGrey, kBlack, G8_25, 87},

        {"Frame14", Frame, "", "", 120, 6735, 7215, 1080},
        {"Label15", Label, "Frame14", "1", 120, 240, 255, 255, kGrey, kBlack, W, 123},
        {"Label16", Label, "Frame14", "2", 120, 480, 255, 255, kGrey, kBlack, W, 124},
        {"Label24", Label, "Frame14", "3", 120, 720, 255, 255, kGrey, kBlack, W, 125},
    };
    auto sources = sourceMatrix();
    for (int row = 0; row < 3; ++row)
        for (std::size_t col = 0; col < sources.size(); ++col)
            t.push_back({sources[col].buttons[row], Button, "Frame14", sources[col].caption,
                         kMatrixLeft[col], kMatrixTop[row], kMatrixWidth[col], 255, kCyan, kBlack,
                         G9, 99 + 8 * row + static_cast<int>(col)});
    const std::vector<LayoutControl> tail{
        {"Frame16", Frame, "", "", 7440, 6750, 1935, 945},
        {"Label27", Label, "Frame16", "FAN SPEED", 345, 285, 1215, 255, kGrey, kBlack, W, 132},
        {"Command97", Button, "Frame16", "MAX", 120, 600, 855, 255, kOn, kBlack, W, 133},
        {"Command98", Button, "Frame16", "NOR", 960, 600, 855, 255, kOn, kBlack, W, 134},

        {"Frame15", Frame, "", "", 120, 8040, 7215, 570},
        {"Text1", TextBox, "Frame15", "", 600, 165, 5055, 345, kP, kBlack, G9_75B, 127},
        {"Label26", Label, "Frame15", "CMD", 120, 240, 495, 255, kGrey, kBlack, G9_75, 130},
        {"Command95", Button, "Frame15", "SEND", 5760, 240, 735, 255, kOn, kBlack, W, 128},
        {"Command96", Button, "Frame15", "CLS", 6480, 240, 615, 255, kOff, kBlack, W, 129},
    };
    t.insert(t.end(), tail.begin(), tail.end());
    return t;
}

constexpr std::array<OutlineLine, 12> kLines{{
    {"Line7", 1080, 2400, 2160, 2400, 3},
    {"Line1", 1080, 2400, 1080, 2880, 6},
    {"Line2", 2160, 2400, 2160, 2880, 3},
    {"Line8", 120, 2880, 1080, 2880, 6},
    {"Line9", 2160, 2880, 3120, 2880, 2},
    {"Line6", 120, 2880, 120, 3480, 6},
    {"Line3", 3120, 2880, 3120, 3480, 6},
    {"Line10", 120, 3480, 1080, 3480, 6},
    {"Line12", 2160, 3480, 3120, 3480, 6},
    {"Line5", 1080, 3480, 1080, 3960, 6},
    {"Line4", 2160, 3480, 2160, 3960, 1},
    {"Line11", 1080, 3960, 2160, 3960, 6},
}};


} // namespace

const std::vector<LayoutControl>& layoutControls() {
    static const std::vector<LayoutControl> table = build();
    return table;
}

const LayoutControl* findLayoutControl(std::string_view name) {
    return findNamed(layoutControls(), name);
}

FontSpec fontSpec(FontCode code) {
    switch (code) {
    case W: return {false, 9, true};
    case G9: return {false, 9, false};
    case G8_25: return {false, 8.25, false};
    case G8_25B: return {false, 8.25, true};
    case G9_75: return {false, 9.75, false};
    case G9_75B: return {false, 9.75, true};
    case P7_5: return {true, 7.5, false};
    case P9: return {true, 9, false};
    case P9B: return {true, 9, true};
    case P9_75B: return {true, 9.75, true};
    }
    return {false, 9, true};
}

std::span<const OutlineLine> outlineLines() { return kLines; }

std::optional<int> addressTargetFor(std::string_view caption) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (const auto& a : kAddressOptions) {
        const std::string_view own = findLayoutControl(a.name)->caption;
        if (own.size() == caption.size() &&
            std::equal(own.begin(), own.end(), caption.begin(),
                       [&](char x, char y) { return lower(x) == lower(y); }))
            return a.target;
    }
    return std::nullopt;
}

} // namespace tova
