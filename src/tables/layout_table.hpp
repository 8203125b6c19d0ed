// SPDX-License-Identifier: MIT
#pragma once
// The window as laid out: every control, frame and outline line. Twips throughout.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tova {

enum class Kind { Frame, Label, Button, Option, TextBox, Picture };
enum class Align { Left, Center, Right };
// Font codes: G is the fixed-pitch face (IPAGothic here), P the proportional one (IPAPGothic);
// the number is the size in points (8_25 is 8.25); B is bold. W is the window font.
//   W: G 9 bold    G9: G 9       G8_25: G 8.25    G8_25B: G 8.25 bold
//   G9_75: G 9.75  G9_75B: G 9.75 bold             P7_5: P 7.5
//   P9: P 9        P9B: P 9 bold P9_75B: P 9.75 bold
enum class FontCode { W, G9, G8_25, G8_25B, G9_75, G9_75B, P7_5, P9, P9B, P9_75B };

using Rgb = std::uint32_t; // 0xRRGGBB
inline constexpr Rgb kPlatformColour = 0xFFFFFFFF;
inline constexpr Rgb kGrey = 0xC0C0C0, kBlack = 0x000000;

struct LayoutControl {
    std::string_view name;
    Kind kind;
    std::string_view container; // empty: on the window
    std::string_view caption;
    int left, top, width, height;
    Rgb back = kGrey;
    Rgb fore = kBlack;
    FontCode font = FontCode::W;
    int tab = 0; // 0: takes no place in the tab order
    Align align = Align::Left;
    bool border = false;
    bool visible = true;
    bool marked = false; // options selected as the window is created
};

struct FontSpec {
    bool proportional; // the proportional face rather than the fixed-pitch one
    double points;
    bool bold;
};

struct OutlineLine {
    std::string_view name;
    int x1, y1, x2, y2;
    int widthPixels;
};

inline constexpr std::string_view kWindowCaption = "TOVA   M4 & TM4    CONTROL   Ver.1.40 BASE";
inline constexpr int kClientWidth = 9495, kClientHeight = 8730;
inline constexpr Rgb kWindowBack = kGrey, kOutlineColour = 0x8080FF;
inline constexpr int kTwipsPerPixel = 15;

// In creation order: containers before their contents, later controls above earlier ones.
const std::vector<LayoutControl>& layoutControls();
const LayoutControl* findLayoutControl(std::string_view name);
FontSpec fontSpec(FontCode code);
std::span<const OutlineLine> outlineLines();

// The target of the address option whose caption is caption, in any case ("single", "ALL",
// "001"); nullopt when no option has it.
std::optional<int> addressTargetFor(std::string_view caption);

} // namespace tova
