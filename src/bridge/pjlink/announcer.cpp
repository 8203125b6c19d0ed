// SPDX-License-Identifier: MIT
#include "bridge/pjlink/announcer.hpp"

#include "bridge/digest.hpp"

#include <algorithm>
#include <cmath>

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

Announcer::Announcer(const Clock& clock, Timer& turns, int controllerPort, std::vector<Endpoint> configured, Callbacks callbacks)
    : m_tell(std::move(callbacks)), m_clock(clock), m_turns(turns), m_port(controllerPort), m_configured(std::move(configured)),
      m_refilled(clock.now()) {
    m_turns.setEnabled(false);
    m_turns.setOnTick([this] { serve(); });
}

Announcer::~Announcer() { m_turns.setOnTick({}); }

void Announcer::add(Projector p) { m_projectors.push_back(std::move(p)); }

void Announcer::put(const Projector& p, const Endpoint& to, const std::string& bytes) {
    if (!m_tell.send || (m_tell.forbidden && m_tell.forbidden(to.address))) return;
    m_tell.send({p.from, to, bytes});
}

bool Announcer::known(const std::string& address) const {
    if (std::any_of(m_configured.begin(), m_configured.end(), [&](const Endpoint& e) { return e.address == address; })) return true;
    const auto it = m_controllers.find(address);
    return it != m_controllers.end() && it->second.authenticated && m_clock.now() - it->second.seen < kControllerLife;
}

void Announcer::received(std::string_view bytes, const std::string& address) {
    if (bytes != "%2SRCH\r") {
        ++m_ignored;
        return;
    }
    if (m_tell.forbidden && m_tell.forbidden(address)) return;
    const auto now = m_clock.now();
    // Each source's own budget: one answer set a second.
    if (auto it = m_answered.find(address); it != m_answered.end() && now - it->second < milliseconds(1000)) return;
    if (known(address)) return answer(address);
    m_waiting.emplace(address, now); // a search again while it waits keeps its place
    if (m_waiting.size() > kMaxWaiting) {
        // The one that would go last makes room: answered most recently, then come last.
        auto last = m_waiting.begin();
        for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it)
            if (turnOf(it->first, it->second) > turnOf(last->first, last->second)) last = it;
        m_waiting.erase(last);
    }
    serve();
}

std::pair<milliseconds, milliseconds> Announcer::turnOf(const std::string& source, milliseconds came) const {
    const auto a = m_answered.find(source);
    return {a == m_answered.end() ? milliseconds::min() : a->second, came};
}

void Announcer::answer(const std::string& address) {
    const auto now = m_clock.now();
    if (!m_answered.contains(address) && m_answered.size() >= kMaxSources) {
        std::erase_if(m_answered, [&](const auto& a) { return now - a.second >= milliseconds(1000); });
        if (m_answered.size() >= kMaxSources) m_answered.erase(m_answered.begin());
    }
    m_answered[address] = now;
    remember(address, false);
    for (const auto& p : m_projectors) put(p, {address, m_port}, "%2ACKN=" + p.mac + "\r");
}

void Announcer::serve() {
    const auto now = m_clock.now();
    m_tokens = std::min<double>(kAnswersPerSecond, m_tokens + double((now - m_refilled).count()) * kAnswersPerSecond / 1000.0);
    m_refilled = now;
    std::erase_if(m_waiting, [&](const auto& w) { return now - w.second > kSearchWait; });
    const double cost = double(std::max<std::size_t>(1, m_projectors.size()));
    while (!m_waiting.empty() && m_tokens >= cost) {
        auto next = m_waiting.begin();
        for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it)
            if (turnOf(it->first, it->second) < turnOf(next->first, next->second)) next = it;
        const std::string address = next->first;
        m_waiting.erase(next);
        m_tokens -= cost;
        answer(address);
    }
    if (m_waiting.empty()) return m_turns.setEnabled(false);
    m_turns.setInterval(std::max(1, static_cast<int>(std::ceil((cost - m_tokens) * 1000.0 / kAnswersPerSecond))));
    m_turns.setEnabled(true);
}

void Announcer::controllerSeen(const std::string& address) { remember(address, true); }

void Announcer::forgetOld() {
    const auto now = m_clock.now();
    std::erase_if(m_controllers, [&](const auto& c) { return now - c.second.seen >= kControllerLife; });
}

void Announcer::remember(const std::string& address, bool authenticated) {
    forgetOld();
    const auto now = m_clock.now();
    if (auto it = m_controllers.find(address); it != m_controllers.end()) {
        it->second.seen = now;
        it->second.authenticated = it->second.authenticated || authenticated;
        if (!authenticated) ++it->second.searches;
        return;
    }
    if (m_controllers.size() >= kMaxControllers) {
        // Who gives up its place: a one-off searcher, then one that searched again, the oldest
        // first; an authenticated controller only for another one. A one-off searcher pushes out
        // only another one-off.
        auto pick = [&](auto pred) {
            auto found = m_controllers.end();
            for (auto it = m_controllers.begin(); it != m_controllers.end(); ++it)
                if (pred(it->second) && (found == m_controllers.end() || it->second.seen < found->second.seen)) found = it;
            return found;
        };
        auto out = pick([](const Controller& c) { return !c.authenticated && c.searches <= 1; });
        if (out == m_controllers.end() && authenticated) out = pick([](const Controller& c) { return !c.authenticated; });
        if (out == m_controllers.end() && authenticated) out = pick([](const Controller&) { return true; });
        if (out == m_controllers.end()) return;
        m_controllers.erase(out);
    }
    m_controllers[address] = Controller{now, authenticated, authenticated ? 0 : 1};
}

std::vector<Endpoint> Announcer::targets() {
    forgetOld();
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
