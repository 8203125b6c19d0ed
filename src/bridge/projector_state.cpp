// SPDX-License-Identifier: MIT
#include "bridge/projector_state.hpp"

#include <algorithm>

namespace tova::bridge {
namespace {
bool lit(std::optional<Power> p) { return p == Power::On || p == Power::WarmingUp; }
} // namespace

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
    if (cameOn) freeze.reset(); // what was frozen before is not known to be so now
    const std::string errors = errorStatusAnswer(reply);
    const bool errorsChanged = errors != m_errors;
    m_errors = errors;
    if (onChange && powerWord() != wasWord && !powerWord().empty()) onChange(Change::Power);
    if (onChange && errorsChanged) onChange(Change::Errors);
}

void ProjectorState::inputMode(std::string_view reply) {
    const ReplyRow* row = findReply(QueryId::InputMode, reply);
    if (!row) return;
    m_lastAnswer = m_clock.now();
    if (row->meaning.inputMode == m_inputMode) return;
    m_inputMode = row->meaning.inputMode;
    if (onChange) onChange(Change::Input);
}

} // namespace tova::bridge
