// SPDX-License-Identifier: MIT
#include "bridge/pjlink/announcer.hpp"

#include "bridge/pjlink/digest.hpp"

#include <algorithm>

namespace tova::bridge {

using std::chrono::milliseconds;

std::string derivedMac(const std::string& address, int port, const std::string& prefix) {
    std::string bytes;
    fromHex(sha256Hex("tova-bridge " + address + " " + std::to_string(port) + " " + prefix).substr(0, 12), bytes);
    bytes[0] = static_cast<char>((bytes[0] | 0x02) & ~0x01); // locally administered, one station
    std::string mac;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string pair = hexOf(bytes.substr(i, 1));
        std::transform(pair.begin(), pair.end(), pair.begin(), [](char c) { return c >= 'a' ? static_cast<char>(c - 32) : c; });
        mac += (i ? ":" : "") + pair;
    }
    return mac;
}

Announcer::Announcer(const Clock& clock, int controllerPort, std::vector<Endpoint> configured, Callbacks callbacks)
    : m_tell(std::move(callbacks)), m_clock(clock), m_port(controllerPort), m_configured(std::move(configured)) {}

void Announcer::add(Projector p) { m_projectors.push_back(std::move(p)); }

void Announcer::put(const Projector& p, const Endpoint& to, const std::string& bytes) {
    if (!m_tell.send || (m_tell.forbidden && m_tell.forbidden(to.address))) return;
    m_tell.send({p.from, to, bytes});
}

void Announcer::received(std::string_view bytes, const std::string& address) {
    if (bytes != "%2SRCH\r") {
        ++m_ignored;
        return;
    }
    const auto now = m_clock.now();
    if (auto it = m_answered.find(address); it != m_answered.end() && now - it->second < milliseconds(1000)) return;
    while (!m_answers.empty() && now - m_answers.front() >= milliseconds(1000)) m_answers.pop_front();
    if (m_answers.size() + m_projectors.size() > static_cast<std::size_t>(kAnswersPerSecond)) return;
    if (m_tell.forbidden && m_tell.forbidden(address)) return;
    m_answered[address] = now;
    std::erase_if(m_answered, [&](const auto& a) { return now - a.second >= milliseconds(1000); });
    controllerSeen(address);
    for (const auto& p : m_projectors) {
        m_answers.push_back(now);
        put(p, {address, m_port}, "%2ACKN=" + p.mac + "\r");
    }
}

void Announcer::controllerSeen(const std::string& address) {
    const auto now = m_clock.now();
    std::erase_if(m_controllers, [&](const auto& c) { return now - c.second >= kControllerLife; });
    if (!m_controllers.contains(address) && m_controllers.size() >= kMaxControllers) {
        const auto oldest = std::min_element(m_controllers.begin(), m_controllers.end(),
                                             [](const auto& a, const auto& b) { return a.second < b.second; });
        m_controllers.erase(oldest);
    }
    m_controllers[address] = now;
}

std::vector<Endpoint> Announcer::targets() {
    const auto now = m_clock.now();
    std::erase_if(m_controllers, [&](const auto& c) { return now - c.second >= kControllerLife; });
    std::vector<Endpoint> out = m_configured;
    for (const auto& [address, seen] : m_controllers) {
        const Endpoint e{address, m_port};
        if (std::find(out.begin(), out.end(), e) == out.end()) out.push_back(e);
    }
    return out;
}

void Announcer::lookup() {
    for (const auto& p : m_projectors)
        for (const auto& to : m_configured) put(p, to, "%2LKUP=" + p.mac + "\r");
}

void Announcer::changed(const ProjectorState& state, ProjectorState::Change change) {
    std::string value;
    for (const auto& p : m_projectors) {
        if (p.state != &state) continue;
        switch (change) {
        case ProjectorState::Change::Power: value = "POWR=" + state.powerWord(); break;
        case ProjectorState::Change::Errors: value = "ERST=" + state.errors(); break;
        case ProjectorState::Change::Input:
            if (state.inputMode() < 1) continue;
            value = "INPT=" + (*p.inputs)[static_cast<std::size_t>(state.inputMode() - 1)];
            break;
        }
        for (const auto& to : targets()) put(p, to, "%2" + value + "\r");
    }
}

} // namespace tova::bridge
