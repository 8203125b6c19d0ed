// SPDX-License-Identifier: MIT
#include "bridge/projector_state.hpp"

#include <algorithm>

namespace tova::bridge {
namespace {
bool lit(std::optional<Power> p) { return p == Power::On || p == Power::WarmingUp; }
// The table's words without their leading blank.
std::string trimmedWords(std::string_view text) {
    const auto from = text.find_first_not_of(' ');
    return from == std::string_view::npos ? std::string() : std::string(text.substr(from));
}
} // namespace

std::string_view powerName(std::optional<Power> p) {
    switch (p.value_or(Power::Unknown)) {
    case Power::Standby: return "standby";
    case Power::WarmingUp: return "warming up";
    case Power::On: return "on";
    case Power::CoolingDown: return "cooling down";
    case Power::Failed: return "failed";
    case Power::Unknown: break;
    }
    return "unknown";
}

std::string ProjectorState::powerWord() const {
    if (!m_power) return {};
    switch (*m_power) {
    case Power::On:
    case Power::WarmingUp: return "1";
    case Power::Standby:
    case Power::CoolingDown: return "0";
    case Power::Failed:
    case Power::Unknown: break;
    }
    return {};
}

void ProjectorState::status(std::string_view reply) {
    const ReplyRow* row = findReply(QueryId::Status, reply);
    if (!row) return;
    if (m_lastAnswer) m_longestGap = std::max(m_longestGap, m_clock.now() - *m_lastAnswer);
    m_lastAnswer = m_clock.now();
    const std::string wasWord = powerWord();
    const bool cameOn = lit(row->meaning.power) && m_power && !lit(m_power); // from a power known off
    m_power = row->meaning.power;
    m_statusText = trimmedWords(row->text);
    if (cameOn) freeze = false; // a projector that comes on is not frozen
    if (!lit(m_power)) m_mute = nullptr; // it says nothing of mute in standby
    const std::string errors = errorDigits(row->meaning);
    const bool errorsChanged = errors != m_errors;
    m_errors = errors;
    if (m_tell.changed && powerWord() != wasWord && !powerWord().empty()) m_tell.changed(Change::Power);
    if (m_tell.changed && errorsChanged) m_tell.changed(Change::Errors);
    if (m_tell.answered) m_tell.answered();
}

void ProjectorState::inputMode(std::string_view reply) {
    const ReplyRow* row = findReply(QueryId::InputMode, reply);
    if (!row) return;
    m_lastAnswer = m_clock.now();
    if (row->meaning.inputMode != m_inputMode) {
        m_inputMode = row->meaning.inputMode;
        if (m_tell.changed) m_tell.changed(Change::Input);
    }
    if (m_tell.answered) m_tell.answered();
}

std::string ProjectorState::muteText() const { return m_mute ? trimmedWords(m_mute->text) : std::string(); }

void ProjectorState::muteAndSignal(std::string_view reply) {
    const ReplyRow* row = findReply(QueryId::MuteAndSignal, reply);
    if (!row) return;
    m_lastAnswer = m_clock.now();
    m_mute = row->meaning.power == Power::Standby ? nullptr : row;
    if (m_tell.answered) m_tell.answered();
}

void ProjectorState::lampHours(std::string_view reply) {
    const auto digits = tova::lampHours(reply);
    if (!digits) return;
    m_lastAnswer = m_clock.now();
    m_lampHours = std::stol(std::string(*digits));
    if (m_tell.answered) m_tell.answered();
}

} // namespace tova::bridge
