// SPDX-License-Identifier: MIT
#include "link/query_table.hpp"

#include "link/line_limits.hpp"

#include <algorithm>
#include <array>

namespace tova {
namespace {

using enum Power;
using enum QueryId;

constexpr ReplyRow kStatus[] = {
    {"00", " Power ON", {.power = On}},
    {"80", " Stand by", {.power = Standby}},
    {"40", " Count down", {.power = WarmingUp}},
    {"20", " Cooling down", {.power = CoolingDown}},
    {"10", " Power Fail", {.power = Failed}},
    {"08", " Temperature Warning(Power ON)", {.power = On, .temperatureWarning = true}},
    {"02", " NO Key input ", {.power = On}},
    {"04", " Lamp OFF by PWR Management", {.power = Standby}},
    {"28", " Temperature Warning & cooling down", {.power = CoolingDown, .temperatureWarning = true}},
    {"24", " Lamp OFF & Tempereture Warning by PWR Management", {.power = Standby, .temperatureWarning = true}},
    {"88", " Temperature Warning and recoverd", {.power = Standby, .temperatureWarning = true}},
    {"21", " Cooling down (All Lamp FAIL)", {.power = CoolingDown, .lampFailed = true}},
    {"81", " Cooling down & sutandby (All Lamp FAIL)", {.power = Standby, .lampFailed = true}},
};

constexpr ReplyRow kInputMode[] = {
    {"1", " Input mode 1", {.inputMode = 1}}, {"2", " Input mode 2", {.inputMode = 2}},
    {"3", " Input mode 3", {.inputMode = 3}}, {"4", " Input mode 4", {.inputMode = 4}},
    {"5", " Input mode 5", {.inputMode = 5}},
};

constexpr ReplyRow kReversal[] = {
    {"11", " Normally", {}},
    {"10", " Top/Bottom reversal", {}},
    {"01", " Left/Right reversal", {}},
    {"00", " Top/Bottom , Left/Right reversal", {}},
};

// The last row says standby in the status's words.
constexpr ReplyRow kMute[] = {
    {"00", " Video & Audio mute OFF", {.videoMute = false, .audioMute = false}},
    {"01", " Video mute ON", {.videoMute = true, .audioMute = false}},
    {"02", " Audio mute ON", {.videoMute = false, .audioMute = true}},
    {"03", " Video & Audio mute ON", {.videoMute = true, .audioMute = true}},
    {"80", " No signal", {.noSignal = true}},
    {"FF", " Stand by", {.power = Standby}},
};

constexpr ReplyRow kLampMode[] = {
    {"00", " All OFF : 2 Lamp mode", {.lamps = 2, .lampsOn = 0}},
    {"01", " No1 ON  : 2 Lamp mode", {.lamps = 2, .lampsOn = 1}},
    {"02", " No2 ON  : 2 Lamp mode", {.lamps = 2, .lampsOn = 2}},
    {"03", " No1,2 ON  : 2 Lamp mode", {.lamps = 2, .lampsOn = 3}},
    {"10", " All OFF : 1 Lamp mode(No1 USE)", {.lamps = 1, .lampsOn = 0}},
    {"11", " No1 ON  : 1 Lamp mode(No1 USE)", {.lamps = 1, .lampsOn = 1}},
    {"20", " All OFF : 1 Lamp mode(No2 USE)", {.lamps = 1, .lampsOn = 0}},
    {"22", " No2 ON  : 1 Lamp mode(No2 USE)", {.lamps = 1, .lampsOn = 2}},
};

constexpr int T = kReplyTimeoutMs;
using D = Decoding;
using F = DataForm;

constexpr std::array<Query, 9> kQueries{{
    {Status, "CR0", T, D::Table, F::Pair, kStatus},
    {InputMode, "CR1", T, D::Table, F::Digit, kInputMode},
    {Reversal, "CR4", T, D::Table, F::Pair, kReversal},
    {LampHours, "CR3", T, D::LampHours, F::Text, {}},
    {Temperatures, "CR6", T, D::Temperatures, F::Text, {}},
    {MuteAndSignal, "CRA", T, D::Table, F::Pair, kMute},
    {PcType, "CR9", T, D::AsReceived, F::Text, {}},
    {Pressure, "CR PRESSURE", T, D::Pressure, F::Text, {}},
    {LampMode, "CR7", T, D::Table, F::Pair, kLampMode},
}};

bool digit(char c) { return c >= '0' && c <= '9'; }
bool alnum(char c) { return digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

} // namespace

std::span<const Query> queries() { return kQueries; }

const Query& query(QueryId id) {
    for (const auto& q : kQueries)
        if (q.id == id) return q;
    return kQueries[0]; // every id has its row
}

const Query* findQuery(std::string_view code) {
    for (const auto& q : kQueries)
        if (q.code == code) return &q;
    return nullptr;
}

const ReplyRow* findReply(QueryId id, std::string_view reply) {
    for (const auto& row : query(id).rows)
        if (reply.starts_with(row.reply)) return &row;
    return nullptr;
}

bool hasForm(DataForm form, std::string_view data) {
    switch (form) {
    case DataForm::Pair: return data.size() == 2 && alnum(data[0]) && alnum(data[1]);
    case DataForm::Digit: return data.size() == 1 && digit(data[0]);
    case DataForm::Text: return std::all_of(data.begin(), data.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    }
    return false;
}

std::optional<std::string_view> lampHours(std::string_view reply) {
    const std::size_t first = reply.find_first_of("0123456789");
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t last = std::min(reply.find_first_not_of("0123456789", first), reply.size());
    if (last - first > 5) return std::nullopt;
    return reply.substr(first, last - first);
}

std::string pcType(std::string_view reply) {
    std::string out;
    for (char c : reply) {
        if (c == '\r' || out.size() == 32) break;
        if (c >= 0x20 && c < 0x7f) out.push_back(c);
    }
    return out;
}

} // namespace tova
