// SPDX-License-Identifier: MIT
#include "sim/projector.hpp"

#include "core/controls.hpp"
#include "link/traffic.hpp"
#include "panel/command_table.hpp"
#include "panel/hold_table.hpp"
#include "panel/vocabulary.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tova::sim {

Timings fastTimings() { return {Ms{3000}, Ms{4000}, Ms{30}, Ms{500}}; }

Projector::Projector(Timings t) : m_t(t) {}

void Projector::advance(Ms now) {
    if (m_power == Power::CountDown && now - m_since >= m_t.countDown) {
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

namespace {

std::string twoHex(unsigned v) {
    char b[3];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

std::string temp(double t, int width) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*.1f", width, t);
    return std::string(b).substr(0, static_cast<std::size_t>(width));
}

} // namespace

std::string Projector::statusReply() const {
    switch (m_power) {
    case Power::On: return "00";
    case Power::Standby: return "80";
    case Power::CountDown: return "40";
    case Power::CoolingDown: return "20";
    }
    return "80";
}

std::string Projector::queryReply(std::string_view code) const {
    auto is = [&](std::string_view control) { return code == codeOf(control); };
    std::string r;
    if (is(ctl::Command44)) r = statusReply();
    else if (is(ctl::Command45)) r = std::to_string(m_inputMode);
    else if (is(ctl::Command46)) {
        char b[8];
        std::snprintf(b, sizeof b, "%05d", m_lampHours % 100000);
        r = b;
    } else if (is(ctl::Command47)) r = twoHex(m_reversal);
    else if (is(ctl::Command54)) {
        // The fields stand where the panel cuts them: 1-5, 8-11, 14-17 and 21-24.
        r = temp(m_temps[0], 5) + "  " + temp(m_temps[1], 4) + "  " + temp(m_temps[2], 4) +
            "   " + temp(m_temps[3], 4);
    } else if (is(ctl::Command12)) {
        // Input 5 has nothing connected: no signal.
        if (m_power != Power::On) r = "FF";
        else if (m_inputMode == 5) r = "80";
        else r = twoHex((m_noShow ? 1u : 0u) | (m_audioMute ? 2u : 0u));
    } else if (is(ctl::Command38)) r = "TM4-SIM";
    else if (is(ctl::Command99)) r = std::to_string(m_pressureReading);
    else if (is(ctl::Command55)) r = twoHex(m_lampMode);
    else return {};
    return r + kCR;
}

// Any code of the panel's tables: a one-shot button or a held button's press or tick.
static bool panelCode(std::string_view code) {
    for (const auto& b : commandButtons())
        if (b.code == code) return true;
    for (const auto& b : holdButtons())
        if (b.pressCode == code || b.tickCode == code) return true;
    return false;
}

bool Projector::command(std::string_view code, Ms now) {
    auto is = [&](std::string_view control) { return code == codeOf(control); };
    if (is(ctl::Command17)) {
        if (m_power == Power::CoolingDown) return false;
        if (m_power == Power::Standby) {
            m_power = Power::CountDown;
            m_since = now;
        }
        return true;
    }
    if (is(ctl::Command18)) {
        if (m_power == Power::On || m_power == Power::CountDown) {
            m_power = Power::CoolingDown;
            m_since = now;
        }
        return true;
    }
    if (!panelCode(code)) return false;
    if (m_power != Power::On) return false; // everything else needs a lit projector
    for (std::size_t i = 0; i < ctl::kInputModeSet.size(); ++i)
        if (is(ctl::kInputModeSet[i])) m_inputMode = static_cast<int>(i) + 1;
    for (int row = 1; row <= 3; ++row)
        for (const auto& col : sourceMatrix())
            if (is(col.buttons[row - 1])) m_inputMode = row;
    const std::pair<std::string_view, bool*> switches[] = {
        {ctl::Command19, &m_audioMute}, {ctl::Command21, &m_noShow}};
    const std::pair<std::string_view, bool*> offs[] = {
        {ctl::Command20, &m_audioMute}, {ctl::Command22, &m_noShow}};
    for (auto [c, flag] : switches)
        if (is(c)) *flag = true;
    for (auto [c, flag] : offs)
        if (is(c)) *flag = false;
    const std::pair<std::string_view, std::uint8_t> lamps[] = {
        {ctl::Command56, 0x03}, {ctl::Command57, 0x11}, {ctl::Command58, 0x22}};
    for (auto [c, mode] : lamps)
        if (is(c)) m_lampMode = mode;
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
    for (int i = 0; i < std::max(1, o.projectors); ++i) m_sets.emplace_back(o.timings);
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
            if (m_partial.size() < 4096) m_partial.push_back(c);
            continue;
        }
        auto replies = line(std::exchange(m_partial, {}), now);
        out.insert(out.end(), replies.begin(), replies.end());
    }
    return out;
}

std::vector<ProjectorLine::Out> ProjectorLine::line(const std::string& l, Ms now) {
    m_log.push_back(l);
    std::string_view code = l;
    // "AFFF" reaches every set, "A001" to "A004" one each, no address the set(s) on the line.
    int target = 0; // 0: all
    if (code.size() > 4 && code[0] == 'A') {
        auto a = code.substr(1, 3);
        if (a == "FFF") target = 0, code.remove_prefix(4);
        else if (a[0] == '0' && a[1] == '0' && a[2] >= '1' && a[2] <= '4')
            target = a[2] - '0', code.remove_prefix(4);
    }
    std::vector<Out> out;
    for (int id = 1; id <= static_cast<int>(m_sets.size()); ++id) {
        if (target != 0 && target != id) continue;
        auto answer = m_sets[static_cast<std::size_t>(id - 1)].handle(code, now);
        // Of several sets reached at once only the first answers, so that replies never collide.
        if (out.empty()) out.push_back({answer.reply, now + answer.delay});
    }
    return out;
}

} // namespace tova::sim
