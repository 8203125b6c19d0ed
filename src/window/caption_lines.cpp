// SPDX-License-Identifier: MIT
#include "window/caption_lines.hpp"

#include <algorithm>

namespace tova {
namespace {

// The code point starting at text[i], and its length in bytes (a broken sequence: one byte).
std::pair<char32_t, std::size_t> codePoint(std::string_view text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
    if (n == 1 || i + n > text.size()) return {b, 1};
    char32_t c = b & (0xFF >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return {c, n};
}

bool japanese(char32_t c) {
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF01 && c <= 0xFF60);
}

// A mark that may not start a line: the long vowel, small kana, closing punctuation.
bool nonStarter(char32_t c) {
    static constexpr std::u32string_view kMarks = U"ーぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ、。，．」』）";
    return kMarks.find(c) != std::u32string_view::npos;
}

std::string_view trimmed(std::string_view s) {
    const auto from = s.find_first_not_of(' ');
    if (from == std::string_view::npos) return {};
    return s.substr(from, s.find_last_not_of(' ') - from + 1);
}

// The caption cut where a line may break: after a blank, or between Japanese characters.
std::vector<std::string_view> segments(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    char32_t before = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto [c, n] = codePoint(text, i);
        const bool cjk = (japanese(before) || japanese(c)) && before != U' ' && c != U' ' && !nonStarter(c);
        const bool breakBefore = i > start && ((before == U' ' && c != U' ') || (before == U'-' && c != U' ' && c != U'-') || cjk);
        if (breakBefore) {
            out.push_back(text.substr(start, i - start));
            start = i;
        }
        before = c;
        i += n;
    }
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

} // namespace

std::vector<std::string> wrapCaption(std::string_view caption, int width, const std::function<double(std::string_view)>& extent) {
    std::vector<std::string> lines;
    std::string line;
    auto fits = [&](const std::string& s) { return extent(trimmed(s)) <= width; };
    for (std::string_view segment : segments(caption)) {
        if (fits(line + std::string(segment))) {
            line += segment;
            continue;
        }
        if (!trimmed(line).empty()) lines.emplace_back(trimmed(line));
        line.clear();
        // A word wider than the button alone is broken between any two characters.
        for (std::size_t i = 0; i < segment.size();) {
            const std::size_t n = codePoint(segment, i).second;
            const std::string longer = line + std::string(segment.substr(i, n));
            if (!trimmed(line).empty() && !fits(longer)) {
                lines.emplace_back(trimmed(line));
                line = std::string(segment.substr(i, n));
            } else {
                line = longer;
            }
            i += n;
        }
    }
    if (!trimmed(line).empty()) lines.emplace_back(trimmed(line));
    return lines;
}

std::vector<CaptionLine> captionLines(std::string_view caption, const Box& button, int contentsWidth, bool pushed,
                                      const TextMeasure& measure) {
    if (measure.advance(caption) <= contentsWidth) return {};
    // The contents' margins would cut the lines: they share the whole button inside its edge.
    const int shift = pushed ? 1 : 0;
    const Box inner{button.left + 2 + shift, button.top + 1 + shift, button.width - 4, button.height - 3};
    const std::vector<std::string> texts = wrapCaption(caption, inner.width, measure.extent);
    std::vector<Ink> inks;
    int ink = 0;
    for (const std::string& t : texts) ink += inks.emplace_back(measure.ink(t)).height;
    const int count = static_cast<int>(texts.size());
    const int gap = std::max(0, (inner.height - ink) / (count + 1));
    std::vector<CaptionLine> out;
    int y = inner.top + gap;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const int left = inner.left + (inner.width - measure.advance(texts[i])) / 2;
        out.push_back({texts[i], left, y - inks[i].top});
        y += inks[i].height + gap;
    }
    return out;
}

} // namespace tova
