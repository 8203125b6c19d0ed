// SPDX-License-Identifier: MIT
#include "bridge/settings_text.hpp"

namespace tova::bridge {
namespace {

std::string_view trimmed(std::string_view s) {
    const auto from = s.find_first_not_of(" \t");
    if (from == std::string_view::npos) return {};
    return s.substr(from, s.find_last_not_of(" \t") - from + 1);
}

} // namespace

std::variant<BridgeSettings, std::string> readSettingsText(std::string_view text, const std::string& file) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3); // a byte-order mark some editors write
    SettingsFile settings;
    std::string section;
    int number = 0;
    auto wrong = [&](const std::string& what) { return file + ":" + std::to_string(number) + ": " + what; };
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.size() > kMaxSettingsLine)
            return wrong("longer than " + std::to_string(kMaxSettingsLine) + " characters: a line is a key and its value");
        line = trimmed(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return wrong("a section is [pjlink NAME] or [share NAME], in brackets");
            section = std::string(trimmed(line.substr(1, line.size() - 2)));
            if (auto why = settings.begin(section, number)) return wrong("[" + section + "]: " + *why);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return wrong("no setting: KEY = VALUE, or [SECTION]");
        const std::string key(trimmed(line.substr(0, eq)));
        if (auto why = settings.set(section, key, trimmed(line.substr(eq + 1)), number))
            return wrong((section.empty() ? std::string() : "[" + section + "] ") + key + ": " + *why);
    }
    auto read = settings.settings();
    if (auto* why = std::get_if<std::string>(&read)) return file + ":" + *why;
    return std::get<BridgeSettings>(read);
}

} // namespace tova::bridge
