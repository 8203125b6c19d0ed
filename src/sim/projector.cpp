// SPDX-License-Identifier: MIT
#include "sim/projector.hpp"

#include "link/address.hpp"
#include "link/line_limits.hpp"
#include "link/traffic.hpp"
#include "tables/command_table.hpp"
#include "tables/controls.hpp"
#include "tables/hold_table.hpp"
#include "tables/line_requests.hpp"

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>

namespace tova::sim {
namespace {

// The reply of the first row of a table query with the meaning asked for.
template <class Fits>
std::string_view replyMeaning(QueryId id, Fits fits) {
    const ReplyRow* row = firstReply(id, fits);
    return row ? row->reply : std::string_view();
}

std::string temp(double t, int width) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*.1f", width, t);
    return std::string(b).substr(0, static_cast<std::size_t>(width));
}

// Any code of the panel's tables: a one-shot button or a held button's press or tick.
bool panelCode(std::string_view code) {
    for (const auto& b : commandButtons())
        if (b.code == code) return true;
    for (const auto& b : holdButtons())
        if (b.pressCode == code || b.tickCode == code) return true;
    return false;
}

} // namespace

Timings fastTimings() { return {Ms{3000}, Ms{4000}, Ms{30}, Ms{500}}; }

Projector::Projector(Timings t, Fault fault)
    : m_t(t), m_fault(fault), m_power(fault == Fault::Power ? Power::Failed : Power::Standby),
      m_lampMode(replyMeaning(QueryId::LampMode, [](const ReplyMeaning& m) { return m.lamps == 2 && m.lampsOn == 3; })),
      m_reversal(query(QueryId::Reversal).rows.front().reply) {}

void Projector::advance(Ms now) {
    if (m_power == Power::WarmingUp && now - m_since >= m_t.countDown) {
        m_power = Power::On;
        m_since = now;
        m_lampCounted = now;
    } else if (m_power == Power::CoolingDown && now - m_since >= m_t.coolingDown) {
        m_power = Power::Standby;
        m_since = now;
    }
    if (m_power == Power::On) {
        // One lamp hour for every hour lit, counted from the last whole hour.
        while (now - m_lampCounted >= Ms{3600000}) {
            ++m_lampHours;
            m_lampCounted += Ms{3600000};
        }
    }
}

std::string Projector::queryReply(std::string_view code) const {
    const Query* q = findQuery(code);
    if (!q) return {};
    std::string r;
    switch (q->id) {
    case QueryId::Status: {
        auto status = [&](bool warm, bool lampFailed) {
            return replyMeaning(q->id, [&](const ReplyMeaning& m) {
                return m.power == m_power && m.temperatureWarning == warm && m.lampFailed == lampFailed;
            });
        };
        r = status(m_fault == Fault::Temperature, m_fault == Fault::Lamp);
        if (r.empty()) r = status(false, false); // no row tells this state with the fault
        break;
    }
    case QueryId::InputMode:
        r = replyMeaning(q->id, [&](const ReplyMeaning& m) { return m.inputMode == m_inputMode; });
        break;
    case QueryId::LampHours: {
        char b[8];
        std::snprintf(b, sizeof b, "%05d", m_lampHours % 100000);
        r = b;
        break;
    }
    case QueryId::Reversal: r = m_reversal; break;
    case QueryId::Temperatures:
        // The fields stand where the panel cuts them: 1-5, 8-11, 14-17 and 21-24.
        r = temp(m_temps[0], 5) + "  " + temp(m_temps[1], 4) + "  " + temp(m_temps[2], 4) + "   " +
            temp(m_temps[3], 4);
        break;
    case QueryId::MuteAndSignal:
        // Input 5 has nothing connected: no signal.
        r = replyMeaning(q->id, [&](const ReplyMeaning& m) {
            if (m_power != Power::On) return m.power == Power::Standby;
            if (m_inputMode == 5) return m.noSignal;
            return m.videoMute == m_noShow && m.audioMute == m_audioMute;
        });
        break;
    case QueryId::PcType: r = "TM4-SIM"; break;
    case QueryId::Pressure: r = std::to_string(m_pressureReading); break;
    case QueryId::LampMode: r = m_lampMode; break;
    }
    return r + kCR;
}

bool Projector::command(std::string_view code, Ms now) {
    auto is = [&](std::string_view control) { return code == codeOf(control); };
    if (m_fault == Fault::Power) return false;
    if (is(ctl::PowerOn)) {
        if (m_power == Power::CoolingDown || m_fault == Fault::Lamp) return false;
        if (m_power == Power::Standby) {
            m_power = Power::WarmingUp;
            m_since = now;
        }
        return true;
    }
    if (is(ctl::PowerOff)) {
        if (m_power == Power::On || m_power == Power::WarmingUp) {
            m_power = Power::CoolingDown;
            m_since = now;
        }
        return true;
    }
    if (!panelCode(code)) return false;
    if (m_power != Power::On) return false; // everything else needs a lit projector
    for (std::size_t i = 0; i < ctl::InputModeSet.size(); ++i)
        if (is(ctl::InputModeSet[i])) m_inputMode = static_cast<int>(i) + 1;
    for (int row = 1; row <= 3; ++row)
        for (const auto& col : sourceMatrix())
            if (is(col.buttons[row - 1])) m_inputMode = row;
    const std::tuple<std::string_view, bool*, bool> switches[] = {
        {ctl::SoundMuteOn, &m_audioMute, true}, {ctl::NoShowOn, &m_noShow, true},
        {ctl::SoundMuteOff, &m_audioMute, false}, {ctl::NoShowOff, &m_noShow, false}};
    for (auto [c, flag, on] : switches)
        if (is(c)) *flag = on;
    // The lamps a selection leaves lit: both in two-lamp mode, or the one chosen.
    const std::tuple<std::string_view, int, int> lamps[] = {
        {ctl::LampSelectBoth, 2, 3}, {ctl::LampSelect1, 1, 1}, {ctl::LampSelect2, 1, 2}};
    for (auto [c, count, on] : lamps)
        if (is(c))
            m_lampMode = replyMeaning(QueryId::LampMode, [count, on](const ReplyMeaning& m) {
                return m.lamps == count && m.lampsOn == on;
            });
    return true;
}

Projector::Answer Projector::handle(std::string_view code, Ms now) {
    advance(now);
    if (auto q = queryReply(code); !q.empty()) return {q, m_t.reply};
    const bool ok = command(code, now);
    return {ok ? std::string(1, kAck) : std::string(kRefused),
            ok && switchesInput(code) ? m_t.inputChange : m_t.reply};
}

ProjectorLine::ProjectorLine(Options o) : m_baud(o.baud) {
    for (int i = 0; i < std::max(1, o.projectors); ++i) m_sets.emplace_back(o.timings, o.fault);
}

void ProjectorLine::advance(Ms now) {
    for (auto& p : m_sets) p.advance(now);
}

std::vector<std::string> ProjectorLine::takeLog() { return std::exchange(m_log, {}); }

std::string garble(std::string_view bytes, std::uint32_t& seed) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        // At the wrong speed a character's bits fall across the start and stop bits: roughly
        // one character in three is lost to framing errors, the rest arrive as other values.
        if (seed % 3 == 0) continue;
        out.push_back(static_cast<char>((seed >> 8) ^ static_cast<unsigned char>(bytes[i])));
    }
    return out;
}

std::string ProjectorLine::toPanel(std::string_view bytes, int lineBaud) const {
    if (lineBaud == m_baud) return std::string(bytes);
    return garble(bytes, m_noise);
}

std::vector<ProjectorLine::Out> ProjectorLine::receive(std::string_view bytes, int lineBaud, Ms now) {
    std::string in = lineBaud == m_baud ? std::string(bytes) : garble(bytes, m_noise);
    std::vector<Out> out;
    for (char c : in) {
        if (c != kCR) {
            if (m_partial.size() < kReceiveCap) m_partial.push_back(c);
            continue;
        }
        auto replies = line(std::exchange(m_partial, {}), now);
        out.insert(out.end(), replies.begin(), replies.end());
    }
    return out;
}

std::vector<ProjectorLine::Out> ProjectorLine::line(const std::string& l, Ms now) {
    m_log.push_back(l);
    // "AFFF" reaches every set, "A001" to "A004" one each, no address the set(s) on the line.
    const auto [target, code] = splitAddress(l);
    std::vector<Out> out;
    for (int id = 1; id <= static_cast<int>(m_sets.size()); ++id) {
        if (target > 0 && target != id) continue;
        auto answer = m_sets[static_cast<std::size_t>(id - 1)].handle(code, now);
        // Of several sets reached at once only the first answers, so that replies never collide.
        if (out.empty()) out.push_back({answer.reply, now + answer.delay});
    }
    return out;
}

} // namespace tova::sim
