#include "sim/projector.hpp"

#include "link/traffic.hpp"

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

bool startsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

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
    std::string r;
    if (code == "CR0") r = statusReply();
    else if (code == "CR1") r = std::to_string(m_inputMode);
    else if (code == "CR3") {
        char b[8];
        std::snprintf(b, sizeof b, "%05d", m_lampHours % 100000);
        r = b;
    } else if (code == "CR4") r = twoHex(m_reversal);
    else if (code == "CR6") {
        // The fields stand where the panel cuts them: 1-5, 8-11, 14-17 and 21-24.
        r = temp(m_temps[0], 5) + "  " + temp(m_temps[1], 4) + "  " + temp(m_temps[2], 4) +
            "   " + temp(m_temps[3], 4);
    } else if (code == "CRA") {
        // Input 5 has nothing connected: no signal.
        if (m_power != Power::On) r = "FF";
        else if (m_inputMode == 5) r = "80";
        else r = twoHex((m_noShow ? 1 : 0) | (m_audioMute ? 2 : 0));
    } else if (code == "CR9") r = "TM4-SIM";
    else if (code == "CR PRESSURE") r = std::to_string(m_pressureReading);
    else if (code == "CR7") r = twoHex(m_lampMode);
    else return {};
    return r + kCR;
}

bool Projector::command(std::string_view code, Ms now) {
    if (code == "C00") {
        if (m_power == Power::CoolingDown) return false;
        if (m_power == Power::Standby) {
            m_power = Power::CountDown;
            m_since = now;
        }
        return true;
    }
    if (code == "C01") {
        if (m_power == Power::On || m_power == Power::CountDown) {
            m_power = Power::CoolingDown;
            m_since = now;
            m_freeze = false;
        }
        return true;
    }
    if (m_power != Power::On) return false; // everything else needs a lit projector
    static constexpr std::string_view kModes[] = {"C05", "C06", "C07", "C08", "C03"};
    for (int i = 0; i < 5; ++i)
        if (code == kModes[i]) {
            m_inputMode = i + 1;
            if (i < 3) m_source = m_sources[i];
            return true;
        }
    if (startsWith(code, "CF INPUT") && code.size() > 10 && code[9] == ' ' && code[8] >= '1' &&
        code[8] <= '3') {
        static constexpr std::string_view kWords[] = {"DIGITAL", "ANALOG", "VIDEO", "YPBPR",
                                                      "YCBCR",   "S-VIDEO", "YC",   "SDI1"};
        auto word = code.substr(10);
        for (auto w : kWords)
            if (word == w) {
                m_inputMode = code[8] - '0';
                m_sources[m_inputMode - 1] = std::string(w);
                m_source = w;
                return true;
            }
        return false;
    }
    struct Switch {
        std::string_view code;
        bool* flag;
        bool value;
    };
    const Switch switches[] = {{"C0B", &m_audioMute, true}, {"C0C", &m_audioMute, false},
                               {"C0D", &m_noShow, true},    {"C0E", &m_noShow, false},
                               {"C43", &m_freeze, true},    {"C44", &m_freeze, false}};
    for (const auto& s : switches)
        if (code == s.code) {
            *s.flag = s.value;
            return true;
        }
    const std::pair<std::string_view, std::uint8_t> lamps[] = {{"C70", 0x03}, {"C71", 0x11}, {"C72", 0x22}};
    for (auto [c, mode] : lamps)
        if (code == c) {
            m_lampMode = mode;
            return true;
        }
    static constexpr std::string_view kAccepted[] = {
        "C0F", "C10", "C1C", "C1D", "C89", "C27", "C8A", "C1E", "C09", "C0A", "C3A", "C3B",
        "C3C", "C3D", "C3F", "C47", "C46", "C4B", "C4A", "C31", "C5D", "C5E", "C5F", "C60",
        "CF SHUTLVL ON", "CF SHUTLVL NORMAL", "CF FANSPEED MAX", "CF FANSPEED NOR",
        "CF IMAGE STANDPC", "CF IMAGE REAL", "CF IMAGE CINEMA", "CF IMAGE STANDAV",
        "CF DZOOM UP", "CF DZOOM DN", "CF KEYSTONE UP", "CF KEYSTONE DN"};
    for (auto a : kAccepted)
        if (code == a) return true;
    return false;
}

Projector::Answer Projector::handle(std::string_view code, Ms now) {
    advance(now);
    if (auto q = queryReply(code); !q.empty()) return {q, m_t.reply};
    bool inputChange = startsWith(code, "CF INPUT") || code == "C05" || code == "C06" ||
                       code == "C07" || code == "C08" || code == "C03";
    bool ok = command(code, now);
    return {ok ? std::string(1, kAck) : std::string(kRefused), ok && inputChange ? m_t.inputChange : m_t.reply};
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
        auto answer = m_sets[id - 1].handle(code, now);
        // Of several sets reached at once only the first answers, so that replies never collide.
        if (out.empty()) out.push_back({answer.reply, now + answer.delay});
    }
    return out;
}

} // namespace tova::sim
