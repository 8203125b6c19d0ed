// SPDX-License-Identifier: MIT
// The core put together: the line, the projectors and their pollers, the web remote, /metrics.
#include "bridge/bridge_core.hpp"

#include "link/address.hpp"

#include <algorithm>

namespace tova::bridge {

BridgeCore::BridgeCore(SerialControl& line, const Clock& clock, MakeTimer makeTimer, CorePlan plan, Events events)
    : m_plan(std::move(plan)), m_tell(std::move(events)), m_line(line), m_clock(clock), m_makeTimer(std::move(makeTimer)),
      m_timeout(m_makeTimer()), m_guard(m_makeTimer()), m_retry(m_makeTimer()), m_logWindow(m_makeTimer()),
      m_searchTurns(m_makeTimer()), m_tallyTimer(m_makeTimer()),
      m_queue(line, *m_timeout, *m_guard, m_clock,
              {.log = [this](const std::string& s) { say(s, Priority::Error); },
               .logEach = m_plan.verbose
                              ? std::function<void(const std::string&)>([this](const std::string& s) { say(s, Priority::Debug); })
                              : nullptr,
               .dropped =
                   [this](const Dropped& d) {
                       m_stats.stray();
                       sayLimited("dropped " + std::to_string(int(d.why)), describe(d));
                   },
               .exchanged =
                   [this](const Request& r, const ExchangeResult& e) {
                       m_stats.exchanged(e);
                       // Any reply is the projector's answer, a refusal too; a line of its own on the
                       // wire without one is its silence.
                       const auto it = m_answering.find(r.target);
                       if (it == m_answering.end()) return;
                       if (e.outcome == ExchangeResult::Replied) it->second->heard();
                       else if (e.outcome == ExchangeResult::TimedOut && !e.withheld) it->second->unanswered();
                   },
               .withhold = [this](const Request& r) { return withheld(r); }}),
      m_clients(m_clock), m_backoff(m_clock),
      m_limiter(m_clock, *m_logWindow, [this](Priority p, const std::string& s) { say(s, p); }),
      m_tally(*m_tallyTimer, [this](const std::string& s) { say(s, Priority::Info); }),
      m_announcer(m_clock, *m_searchTurns, m_plan.controllerPort, m_plan.notify,
                  {.send = [this](const Datagram& d) { m_tell.datagram(d); },
                   .forbidden = [this](const std::string& a) { return m_tell.forbidden && m_tell.forbidden(a); }}),
      m_keeper(line, *m_retry, m_queue, m_plan.settings,
               {.log = [this](Priority p, const std::string& s) { say(s, p); },
                .down =
                    [this] {
                        for (auto& [prefix, a] : m_answering) a->lineDown();
                        if (m_webRemote) m_webRemote->lineChanged(false);
                        for (ClientId id : m_clients.lostDevice()) m_tell.close(id);
                    },
                .up =
                    [this] {
                        for (auto& [prefix, a] : m_answering) a->lineUp();
                        if (m_webRemote) m_webRemote->lineChanged(true);
                        m_announcer.lookup(); // the projectors are reachable (again): controllers may look
                        for (auto& p : m_pollers) p->pollNow();
                    }}) {
    // The line's bytes go to the exchange queue; its failure to the keeper, which opens it again.
    m_line.setEvents({[this](const std::string& bytes) { m_queue.received(bytes); },
                      [this](const SerialFailure& f) { m_keeper.lost(f); }});
    for (const CoreListener& l : m_plan.listeners) {
        SlotRules places = l.places;
        if (l.kind == ClientKind::SharedLine) places.idleAfter = SharedLineClient::kIdle;
        m_index.push_back(m_clients.addListener(l.kind, places));
        // One state and one poller for each projector on the line, whatever its listeners.
        m_stateOf.push_back(l.kind == ClientKind::Pjlink ? &projector(l.config.prefix) : nullptr);
        m_names.emplace_back();
    }
    serveProjectors();
    if (m_plan.web) startWeb();
}

BridgeCore::~BridgeCore() { m_line.setEvents({}); }

ProjectorState& BridgeCore::projector(const std::string& prefix) {
    auto& state = m_states[prefix];
    if (!state) {
        // What it learns goes to the announcer (changes) and the web remote's tiles (every answer).
        state = std::make_unique<ProjectorState>(
            m_clock, ProjectorState::Callbacks{[this, prefix](ProjectorState::Change c) { m_announcer.changed(*m_states.at(prefix), c); },
                                               [this, prefix] {
                                                   if (m_webRemote) m_webRemote->answered(*m_states.at(prefix));
                                               }});
        m_pollTimers.push_back(m_makeTimer());
        m_pollers.push_back(std::make_unique<Poller>(m_queue, *m_pollTimers.back(), -static_cast<ClientId>(m_pollers.size() + 1),
                                                     prefix, *state, m_plan.pollSeconds * 1000));
        m_answerTimers.push_back(m_makeTimer());
        m_answering[prefix] = std::make_unique<Answering>(
            m_clock, *m_answerTimers.back(), Answering::windowFor(m_plan.pollSeconds),
            [this, prefix](Answering::State now, Answering::State before, std::chrono::milliseconds silentFor) {
                answeringChanged(prefix, now, before, silentFor);
            });
    }
    return *state;
}

std::string BridgeCore::projectorName(const std::string& prefix) const {
    std::string name = ProjectorConfig{}.name;
    for (const CoreListener& l : m_plan.listeners)
        if (l.kind == ClientKind::Pjlink && l.config.prefix == prefix) {
            name = l.config.name;
            break;
        }
    return (prefix.empty() ? std::string("the projector") : prefix.substr(1)) + " (" + name + ")";
}

void BridgeCore::answeringChanged(const std::string& prefix, Answering::State now, Answering::State before,
                                  std::chrono::milliseconds silentFor) {
    // Told once as it stops (or never starts) answering, once as it answers again; nothing between.
    if (now == Answering::State::No)
        say("no answer from " + projectorName(prefix) + " for " + std::to_string(silentFor.count() / 1000) +
                " s: check the cable, the speed (19200 or 9600)" + (prefix.empty() ? "" : " and the address"),
            Priority::Warning);
    else if (before == Answering::State::No)
        say(projectorName(prefix) + " answers again");
    if (now == Answering::State::Yes) m_probes[prefix].told = false;
    if (m_webRemote) m_webRemote->answered(*m_states.at(prefix));
}

void BridgeCore::serveProjectors() {
    // One tab (and one set of metrics) per projector on the line, named as its first PJLink
    // listener; with none, the projector the line reaches unaddressed.
    for (std::size_t i = 0; i < m_plan.listeners.size(); ++i) {
        const ProjectorState* s = m_stateOf[i];
        if (s && std::none_of(m_projectors.begin(), m_projectors.end(), [&](const auto& p) { return p.state == s; })) {
            const ProjectorConfig& c = m_plan.listeners[i].config;
            m_projectors.push_back({c.name, c.prefix, m_stateOf[i], c.inputNames, m_answering.at(c.prefix).get(),
                                    m_plan.pollSeconds > 0});
        }
    }
    if (m_projectors.empty() && m_plan.web) {
        const ProjectorConfig config;
        m_projectors.push_back({config.name, config.prefix, &projector(config.prefix), config.inputNames,
                                m_answering.at(config.prefix).get(), m_plan.pollSeconds > 0});
    }
    for (auto& p : m_projectors)
        if (std::count_if(m_projectors.begin(), m_projectors.end(), [&](const auto& o) { return o.name == p.name; }) > 1)
            p.name += " (" + (p.prefix.empty() ? std::string("no address") : p.prefix) + ")";
}

void BridgeCore::startWeb() {
    // The web listener bounds its connections; a page is one that has logged in.
    m_pageListener = m_clients.addListener(ClientKind::WebPage, m_plan.web->places);
    m_webAccess = std::make_unique<WebAccess>(m_plan.web->access, m_clock, m_backoff, m_tell.random);
    m_webRemote = std::make_unique<WebRemote>(m_queue, m_projectors, m_makeTimer);
    m_webRoutes = std::make_unique<WebRoutes>(
        *m_webAccess,
        WebRoutes::Content{m_tell.file, [this] { return m_webRemote->tables(m_webAccess->config().password.has_value()); },
                           [this] { return metrics(); }});
}

void BridgeCore::start() {
    m_keeper.start();
    for (auto& p : m_pollers) p->start();
}

void BridgeCore::bound(int listener, std::string name, std::optional<Announcer::Projector> answersAs) {
    m_names.at(std::size_t(listener)) = std::move(name);
    if (!answersAs) return;
    answersAs->state = m_stateOf.at(std::size_t(listener));
    answersAs->inputs = &m_plan.listeners.at(std::size_t(listener)).config.inputs;
    m_announcer.add(*answersAs);
}

void BridgeCore::setPasswords(const std::vector<std::optional<std::string>>& passwords, std::optional<std::string> web) {
    if (m_webAccess && web && m_webAccess->setPassword(std::move(web))) say(m_webName + ": the password changed; every session ends");
    for (std::size_t i = 0; i < m_plan.listeners.size() && i < passwords.size(); ++i) {
        ProjectorConfig& c = m_plan.listeners[i].config;
        if (m_plan.listeners[i].kind != ClientKind::Pjlink || !passwords[i] || c.password == passwords[i]) continue;
        c.password = passwords[i];
        say(m_names[i] + ": the password changed");
    }
}

bool BridgeCore::withheld(const Request& r) {
    const auto it = m_answering.find(r.target);
    if (it == m_answering.end() || it->second->state() != Answering::State::No) return false;
    if (r.background) return false; // the poller's probe, one a period
    Probe& p = m_probes[r.target];
    // Without polling a client's line is the probe, one each window.
    if (m_plan.pollSeconds == 0 && m_clock.now() - p.last >= Answering::kWindowWithoutPolling) {
        p.last = m_clock.now();
        return false;
    }
    if (!std::exchange(p.told, true))
        say("lines to " + projectorName(r.target) + " are answered at once as no reply while it does not answer; " +
                (m_plan.pollSeconds > 0 ? "the poller asks it" : "a client's line asks it every 15 s"),
            Priority::Warning);
    return true;
}

bool BridgeCore::mayAddress(int target) const {
    if (target == kNoAddress || target == kEveryProjector) return true;
    const std::string prefix = prefixFor(target);
    bool anyAddressed = false;
    for (const CoreListener& l : m_plan.listeners) {
        if (l.kind != ClientKind::Pjlink || l.config.prefix.empty()) continue;
        if (l.config.prefix == prefix) return true;
        anyAddressed = true;
    }
    return !anyAddressed;
}

std::string BridgeCore::metrics() const {
    MetricsInput in;
    in.projectors = m_projectors;
    for (std::size_t i = 0; i < m_plan.listeners.size(); ++i)
        in.listeners.push_back({m_names[i], m_plan.listeners[i].kind == ClientKind::Pjlink ? "pjlink" : "shared_line",
                                m_clients.clients(m_index[i])});
    if (m_webRemote) {
        in.listeners.push_back({m_webName, "http", m_tell.webConnections ? m_tell.webConnections() : 0});
        in.listeners.push_back({m_webName, "web_page", m_clients.clients(m_pageListener)}); // of those, pages open
    }
    in.line = &m_stats;
    in.lineUp = m_queue.lineUp();
    in.pjlinkAuthFailures = m_pjlinkFailures;
    in.httpAuthFailures = m_webAccess ? m_webAccess->failures() : 0;
    in.now = m_clock.now();
    in.wallTime = m_clock.wallTime();
    in.startedAt = m_startedAt;
    in.version = m_plan.version;
    return metricsText(in);
}

std::string BridgeCore::summary() const {
    std::size_t polls = 0;
    for (const auto& p : m_pollers) polls += p->polls();
    long long gap = 0;
    for (const auto& [prefix, s] : m_states) gap = std::max<long long>(gap, s->longestGap().count());
    return std::to_string(m_queue.exchanges()) + " exchanges on the line, " + std::to_string(polls) +
           " polls; the longest wait for a status " + std::to_string(gap) + " ms";
}

void BridgeCore::say(const std::string& text, Priority priority) const {
    if (m_tell.log) m_tell.log(priority, text);
}

void BridgeCore::sayLimited(const std::string& kind, const std::string& text, const std::string& from, Priority priority) {
    m_limiter.say(kind, text, from, priority);
}

void BridgeCore::tellConnected(const std::string& kind, const std::string& who, const std::string& address) {
    if (m_plan.verbose) sayLimited("connected " + kind, who + " connected", address, Priority::Info);
    else m_tally.connected(kind, address);
}

} // namespace tova::bridge
