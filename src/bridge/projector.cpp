// SPDX-License-Identifier: MIT
#include "bridge/projector.hpp"

#include "core/utf8.hpp"
#include "link/query_table.hpp"

#include <utility>

namespace tova::bridge {

InputNames ProjectorConfig::defaultInputNames() {
    InputNames names;
    const auto rows = query(QueryId::InputMode).rows;
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = std::string(rows[i].text.substr(1)); // no leading blank
    return names;
}

std::string errorDigits(const ReplyMeaning& m) {
    std::string e = "000000";
    if (m.lampFailed) e[1] = '2';
    if (m.temperatureWarning) e[2] = '1';
    if (m.power == Power::Failed) e[5] = '2';
    return e;
}

bool classOneInput(std::string_view code) {
    return code.size() == 2 && code[0] >= '1' && code[0] <= '5' && code[1] >= '1' && code[1] <= '9';
}

bool classTwoInput(std::string_view code) {
    return code.size() == 2 && code[0] >= '1' && code[0] <= '6' &&
           ((code[1] >= '1' && code[1] <= '9') || (code[1] >= 'A' && code[1] <= 'Z'));
}

bool validName(std::string_view name) { return !name.empty() && name.size() <= kMaxNameLength && printableUtf8(name); }

std::optional<InputNames> parseInputNames(std::string_view text) {
    InputNames out;
    std::size_t n = 0;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        if (n == out.size() || name.empty() || name.size() > kMaxInputName || !printableUtf8(name)) return std::nullopt;
        out[n++] = std::string(name);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (n != out.size()) return std::nullopt;
    return out;
}

std::optional<Inputs> parseInputs(std::string_view text) {
    Inputs out;
    std::size_t n = 0;
    std::string word;
    auto take = [&]() {
        if (word.empty()) return true;
        if (n == out.size() || !classTwoInput(word)) return false;
        out[n++] = std::exchange(word, {});
        return true;
    };
    for (char c : text) {
        if (c == ',' || c == ' ') {
            if (!take()) return std::nullopt;
        } else {
            word.push_back(c);
        }
    }
    if (!take() || n != out.size()) return std::nullopt;
    return out;
}

} // namespace tova::bridge
