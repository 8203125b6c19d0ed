// SPDX-License-Identifier: MIT
#include "bridge/pjlink_answers.hpp"

#include "core/controls.hpp"
#include "link/decoder.hpp"
#include "link/traffic.hpp"
#include "panel/command_table.hpp"

#include <algorithm>
#include <utility>
#include <vector>

namespace tova::bridge {
namespace {

const std::string kErr3 = "ERR3", kErr4 = "ERR4";

// The reply's first two characters, when the panel's own table for the query knows them.
std::optional<std::string> knownPair(std::string_view reply, std::string_view queryButton) {
    const std::string query(codeOf(queryButton));
    if (!decodeReply(frameLine("", query), "", trafficText(reply), 0).label22) return std::nullopt;
    return std::string(reply.substr(0, 2));
}

bool in(std::string_view pair, std::initializer_list<std::string_view> set) {
    return std::find(set.begin(), set.end(), pair) != set.end();
}

} // namespace

std::string powerAnswer(std::string_view statusReply) {
    const auto pair = knownPair(statusReply, ctl::Command44);
    if (!pair) return kErr4;
    if (in(*pair, {"00", "08", "02"})) return "1";
    if (in(*pair, {"80", "04", "24", "88", "81"})) return "0";
    if (in(*pair, {"20", "28", "21"})) return "2";
    if (*pair == "40") return "3";
    return kErr4; // 10: power failure
}

std::string errorStatusAnswer(std::string_view statusReply) {
    const auto pair = knownPair(statusReply, ctl::Command44);
    if (!pair) return kErr4;
    // fan, lamp, temperature, cover open, filter, other
    std::string e = "000000";
    if (in(*pair, {"21", "81"})) e[1] = '2';
    if (in(*pair, {"08", "28", "24", "88"})) e[2] = '1';
    if (*pair == "10") e[5] = '2';
    return e;
}

std::string inputAnswer(std::string_view modeReply, const Inputs& inputs) {
    if (!knownPair(modeReply, ctl::Command45)) return kErr4;
    const int mode = modeReply[0] - '0'; // the table knows 1 to 5
    return inputs[static_cast<std::size_t>(mode - 1)];
}

std::string muteAnswer(std::string_view muteReply, const MuteState& set) {
    const auto pair = knownPair(muteReply, ctl::Command12);
    if (!pair) return kErr4;
    if (*pair == "00") return "30";
    if (*pair == "01") return "11";
    if (*pair == "02") return "21";
    if (*pair == "03") return "31";
    if (*pair == "80" && (set.video || set.audio)) { // no signal: the state is not told
        const bool video = set.video.value_or(false), audio = set.audio.value_or(false);
        return video && audio ? "31" : video ? "11" : audio ? "21" : "30";
    }
    return kErr3; // FF: standby, or no signal and nothing set through the bridge yet
}

std::string lampAnswer(std::string_view hoursReply, std::string_view modeReply) {
    // The projector reports one counter: the first run of 1 to 5 digits.
    const auto first = std::find_if(hoursReply.begin(), hoursReply.end(), [](char c) { return c >= '0' && c <= '9'; });
    const auto last = std::find_if(first, hoursReply.end(), [](char c) { return c < '0' || c > '9'; });
    const auto digits = static_cast<std::size_t>(last - first);
    if (digits == 0 || digits > 5) return kErr4;
    const std::string hours(first, last);
    const auto pair = knownPair(modeReply, ctl::Command55);
    if (!pair) return kErr4;
    auto lamp = [&](bool on) { return hours + (on ? " 1" : " 0"); };
    if ((*pair)[0] == '0') { // two lamps: bit 0 is No1, bit 1 is No2
        const int bits = (*pair)[1] - '0';
        return lamp(bits & 1) + " " + lamp(bits & 2);
    }
    return lamp((*pair)[1] != '0'); // one lamp in use: 10, 11, 20, 22
}

std::string modelAnswer(std::string_view reply) {
    std::string out;
    for (char c : reply) {
        if (c == kCR || out.size() == 32) break;
        if (c >= 0x20 && c < 0x7f) out.push_back(c);
    }
    return out;
}

std::optional<Inputs> parseInputs(std::string_view text) {
    Inputs out;
    std::size_t n = 0;
    std::string word;
    auto take = [&]() {
        if (word.empty()) return true;
        if (n == out.size() || word.size() != 2 || word[0] < '1' || word[0] > '5' || word[1] < '1' ||
            word[1] > '9')
            return false;
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
