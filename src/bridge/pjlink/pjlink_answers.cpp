// SPDX-License-Identifier: MIT
#include "bridge/pjlink/pjlink_answers.hpp"

#include "link/query_table.hpp"


namespace tova::bridge {
namespace {

const std::string kErr3 = "ERR3", kErr4 = "ERR4";

const ReplyMeaning* meaning(QueryId id, std::string_view reply) {
    const ReplyRow* row = findReply(id, reply);
    return row ? &row->meaning : nullptr;
}

} // namespace

std::string powerAnswer(std::string_view statusReply) {
    const ReplyMeaning* m = meaning(QueryId::Status, statusReply);
    if (!m) return kErr4;
    switch (m->power) {
    case Power::On: return "1";
    case Power::Standby: return "0";
    case Power::CoolingDown: return "2";
    case Power::WarmingUp: return "3";
    case Power::Failed:
    case Power::Unknown: break;
    }
    return kErr4;
}

std::string errorStatusAnswer(std::string_view statusReply) {
    const ReplyMeaning* m = meaning(QueryId::Status, statusReply);
    return m ? errorDigits(*m) : kErr4;
}

std::string inputAnswer(std::string_view modeReply, const Inputs& inputs) {
    const ReplyMeaning* m = meaning(QueryId::InputMode, modeReply);
    if (!m) return kErr4;
    return inputs[static_cast<std::size_t>(m->inputMode - 1)];
}

std::string muteAnswer(std::string_view muteReply, const MuteState& set) {
    const ReplyMeaning* m = meaning(QueryId::MuteAndSignal, muteReply);
    if (!m) return kErr4;
    std::optional<bool> video = m->videoMute, audio = m->audioMute;
    if (m->noSignal) { // the state is not told: what was set through the bridge, if anything
        video = set.video;
        audio = set.audio;
    }
    if (!video && !audio) return kErr3; // standby, or no signal and nothing set yet
    const bool v = video.value_or(false), a = audio.value_or(false);
    return v && a ? "31" : v ? "11" : a ? "21" : "30";
}

std::string lampAnswer(std::string_view hoursReply, std::string_view modeReply, std::string_view statusReply) {
    const auto hours = lampHours(hoursReply);
    const ReplyMeaning* m = meaning(QueryId::LampMode, modeReply);
    const ReplyMeaning* status = meaning(QueryId::Status, statusReply);
    if (!hours || !m || !status) return kErr4;
    // In use is lit only while the projector is on or warming up.
    const bool lit = status->power == Power::On || status->power == Power::WarmingUp;
    // PJLink's hours are a plain number: the projector's leading zeros go.
    std::string_view count = *hours;
    while (count.size() > 1 && count.front() == '0') count.remove_prefix(1);
    auto lamp = [&](bool on) { return std::string(count) + (on && lit ? " 1" : " 0"); };
    if (m->lamps == 2) return lamp(m->lampsOn & 1) + " " + lamp(m->lampsOn & 2);
    return lamp(m->lampsOn != 0);
}

std::string modelAnswer(std::string_view reply) { return pcType(reply); }

} // namespace tova::bridge
