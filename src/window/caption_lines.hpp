// SPDX-License-Identifier: MIT
#pragma once
// A button's caption as both windows draw it: on one line, centred by the platform, when it
// fits the button's contents; else in lines that share the whole button inside its edge, their
// ink evenly spaced. Lines break where a caption has a blank, or between the characters of
// Japanese text (never before a mark that may not start a line), and within a word only when
// the word alone is wider than the button; a hyphen may end a line. Each window only measures
// its font and draws.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tova {

// The platform's font, measured in pixels: a text's advance; the width it needs on a line (its
// advance, or further where its last glyph's ink reaches beyond it); and its ink's top (from
// the baseline, upwards negative) and height.
struct Ink {
    int top = 0;
    int height = 0;
};
struct TextMeasure {
    std::function<int(std::string_view utf8)> advance;
    std::function<double(std::string_view utf8)> extent;
    std::function<Ink(std::string_view utf8)> ink;
};

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
};

struct CaptionLine {
    std::string text;  // UTF-8
    int left = 0;      // where its advance starts
    int baseline = 0;
};

// The caption's lines in the button's rectangle (pushed: shown pressed, one pixel down and
// right); empty when it fits on one line of the contents, which the platform centres itself.
std::vector<CaptionLine> captionLines(std::string_view caption, const Box& button, int contentsWidth, bool pushed,
                                      const TextMeasure& measure);

// The caption broken into lines of at most width pixels (extent: what a line needs).
std::vector<std::string> wrapCaption(std::string_view caption, int width, const std::function<double(std::string_view)>& extent);

} // namespace tova
