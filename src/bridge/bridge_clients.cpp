// SPDX-License-Identifier: MIT
// The core's clients: who is admitted, each connection's session and bounds, its bytes in and
// out by id, and the web remote's pages.
#include "bridge/bridge_core.hpp"

#include "core/host_port.hpp"

namespace tova::bridge {

std::string BridgeCore::refusal(int listener, ClientRegistry::Refusal why) const {
    const SlotRules& places = m_plan.listeners.at(std::size_t(listener)).places;
    switch (why) {
    case ClientRegistry::Refusal::Full: return std::to_string(places.size) + " clients already, each doing its part";
    case ClientRegistry::Refusal::AddressFull:
        return "its address holds " + std::to_string(places.perAddress) + " connections already";
    case ClientRegistry::Refusal::DeviceGone: break;
    }
    return "the device is not there";
}

std::variant<BridgeCore::Admitted, BridgeCore::Refused> BridgeCore::connect(int listener, const std::string& address,
                                                                      const std::string& who) {
    const std::string& name = m_names.at(std::size_t(listener));
    const bool pjlink = m_plan.listeners.at(std::size_t(listener)).kind == ClientKind::Pjlink;
    if (pjlink && m_backoff.banned(address)) {
        sayLimited("banned on " + name, "client " + who + " refused on " + name + ": too many wrong digests", address);
        return Refused{"PJLINK ERRA\r"};
    }
    const auto admitted = m_clients.admit(m_index[std::size_t(listener)], address, m_queue.lineUp());
    if (const auto* why = std::get_if<ClientRegistry::Refusal>(&admitted)) {
        sayLimited("refused on " + name, "client " + who + " refused on " + name + ": " + refusal(listener, *why), address);
        return Refused{};
    }
    const auto& a = std::get<ClientRegistry::Admitted>(admitted);
    if (a.evicted) {
        if (const auto it = m_connections.find(*a.evicted); it != m_connections.end()) {
            const bool password = it->second.pjlink && m_plan.listeners[std::size_t(it->second.listener)].config.password;
            const std::string why = a.evictedFellSilent ? "no whole line for " + std::to_string(SharedLineClient::kIdle.count() / 1000) + " s"
                                    : password         ? "not authenticated yet"
                                                       : "nothing sent yet";
            sayLimited("made room on " + name, it->second.who + " closed for a newcomer: " + why, it->second.address);
        }
    }
    Connection& c = m_connections[a.id];
    c.listener = listener;
    c.who = (pjlink ? "PJLink client " : "shared-line client ") + who + " on " + name;
    c.address = address;
    return Admitted{a.id, a.evicted};
}

void BridgeCore::opened(ClientId id) {
    const auto it = m_connections.find(id);
    if (it == m_connections.end()) return;
    Connection& c = it->second;
    c.stall = m_makeTimer();
    c.bound = std::make_unique<OutputBound>(*c.stall, [this, id](const std::string& why) {
        const auto gone = m_connections.find(id);
        if (gone == m_connections.end()) return;
        say(gone->second.who + " closed: " + why, Priority::Warning);
        m_tell.abort(id);
    });
    const bool pjlink = m_plan.listeners[std::size_t(c.listener)].kind == ClientKind::Pjlink;
    tellConnected(pjlink ? "PJLink" : "shared line", c.who, c.address);
    if (pjlink) startPjlink(id, c);
    else startShared(id, c);
}

void BridgeCore::sendTo(ClientId id, const std::string& bytes) {
    const std::size_t unsent = m_tell.send(id, bytes);
    if (const auto it = m_connections.find(id); it != m_connections.end() && it->second.bound) it->second.bound->queued(unsent);
}

void BridgeCore::startPjlink(ClientId id, Connection& c) {
    const int l = c.listener;
    c.idle = m_makeTimer();
    c.pjlink = std::make_unique<PjlinkSession>(
        id, m_plan.listeners[std::size_t(l)].config, *m_stateOf[std::size_t(l)], m_queue, *c.idle, m_tell.random,
        PjlinkSession::Callbacks{
            .send = [this, id](const std::string& bytes) { sendTo(id, bytes); },
            .close = [this, id] { m_tell.close(id); },
            .wrongDigest =
                [this, address = c.address, who = c.who, name = m_names[std::size_t(l)]] {
                    ++m_pjlinkFailures;
                    sayLimited("failed login on " + name, who + ": a wrong password", address);
                    if (m_backoff.wrong(address))
                        sayLimited("ban",
                                   addressGroup(address) + ": " + std::to_string(DigestBackoff::kLimit) +
                                       " wrong digests within a minute; its new connections are refused for 60 s",
                                   address);
                },
            .room = [this, id] { m_tell.readAgain(id); },
            .request =
                [this, id, address = c.address] {
                    m_clients.settle(id); // it has done its part: no newcomer takes its place
                    m_announcer.controllerSeen(address);
                }});
    c.pjlink->start();
}

void BridgeCore::startShared(ClientId id, Connection& c) {
    c.shared = std::make_unique<SharedLineClient>(
        id, m_queue,
        SharedLineClient::Callbacks{
            .send = [this, id](const std::string& bytes) { sendTo(id, bytes); },
            .close = [this, id] { m_tell.close(id); },
            .log = [this, who = c.who, address = c.address](
                       const std::string& text) { sayLimited("shared line " + text.substr(0, 20), who + ": " + text, address); },
            .line = [this, id] { m_clients.settle(id); },
            .mayAddress = [this](int target) { return mayAddress(target); }});
}

bool BridgeCore::reading(ClientId id, std::size_t unsent) const {
    const auto it = m_connections.find(id);
    if (it == m_connections.end()) return false;
    // Replies it does not take, or requests not answered yet: it waits, and so do its bytes.
    if (!OutputBound::reading(unsent)) return false;
    return !it->second.pjlink || it->second.pjlink->wantsInput();
}

void BridgeCore::received(ClientId id, std::string_view bytes) {
    const auto it = m_connections.find(id);
    if (it == m_connections.end()) return;
    if (it->second.pjlink) it->second.pjlink->received(bytes);
    else if (it->second.shared) it->second.shared->received(bytes);
}

void BridgeCore::took(ClientId id, std::size_t unsent) {
    if (const auto it = m_connections.find(id); it != m_connections.end() && it->second.bound) it->second.bound->took(unsent);
}

void BridgeCore::disconnected(ClientId id) {
    const auto it = m_connections.find(id);
    if (it == m_connections.end()) return;
    // Said with --verbose only: a controller that connects for every poll would fill the log.
    if (m_plan.verbose) sayLimited("disconnected", it->second.who + " disconnected", it->second.address, Priority::Info);
    m_connections.erase(it); // its session forgets its lines first
    m_clients.remove(id);
}

std::optional<ClientId> BridgeCore::admitPage(const std::string& address, const std::string& who) {
    const auto admitted = m_clients.admit(m_pageListener, address, true);
    if (!std::holds_alternative<ClientRegistry::Admitted>(admitted)) return std::nullopt;
    const ClientId id = std::get<ClientRegistry::Admitted>(admitted).id;
    m_clients.settle(id); // logged in
    tellConnected("web page", who, address);
    return id;
}

void BridgeCore::pageClosed(ClientId id) {
    m_webRemote->closed(id); // its hold ends, its lines go
    m_clients.remove(id);
}

} // namespace tova::bridge
