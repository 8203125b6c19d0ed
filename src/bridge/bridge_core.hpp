// SPDX-License-Identifier: MIT
#pragma once
// The bridge's wiring, below the seam: the line and its exchange queue, the device kept open,
// what is known of each projector and its poller, the PJLink sessions and shared-line clients,
// the search answers and notifications, the web remote's rules and /metrics. The transport
// above (sockets, timers, the HTTP server) hands it bytes and events by client id and carries
// out what it asks: bytes to a client, a close, a datagram. Nothing here touches a socket.
#include "bridge/answering.hpp"
#include "bridge/core_plan.hpp"
#include "bridge/client_bounds.hpp"
#include "bridge/client_registry.hpp"
#include "bridge/connection_tally.hpp"
#include "bridge/device_keeper.hpp"
#include "bridge/log_limiter.hpp"
#include "bridge/metrics.hpp"
#include "bridge/pjlink/announcer.hpp"
#include "bridge/pjlink/pjlink_session.hpp"
#include "bridge/poller.hpp"
#include "bridge/projector_state.hpp"
#include "bridge/shared_line.hpp"
#include "bridge/web/web_access.hpp"
#include "bridge/web/web_remote.hpp"
#include "bridge/web/web_routes.hpp"
#include "link/exchange_queue.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tova::bridge {

class BridgeCore {
  public:
    // What the core asks of the transport.
    struct Events {
        std::function<void(Priority, const std::string&)> log{};
        // Bytes to a client; what of its replies the client has not taken yet.
        std::function<std::size_t(ClientId, const std::string&)> send{};
        std::function<void(ClientId)> close{}; // after what was sent
        std::function<void(ClientId)> abort{}; // at once
        std::function<void(ClientId)> readAgain{};
        std::function<void(const Datagram&)> datagram{};
        // Addresses nothing is sent to: broadcast, multicast and the bridge's own.
        std::function<bool(const std::string& address)> forbidden{};
        // n hexadecimal digits from the system's random source.
        std::function<std::string(std::size_t)> random{};
        // The web page's files, by path; the web listener's connections now.
        std::function<std::optional<WebFile>(std::string_view path)> file{};
        std::function<std::size_t()> webConnections{};
    };

    BridgeCore(SerialControl& line, const Clock& clock, MakeTimer makeTimer, CorePlan plan, Events events);
    ~BridgeCore();
    BridgeCore(const BridgeCore&) = delete;
    BridgeCore& operator=(const BridgeCore&) = delete;

    // The device opened and the pollers started.
    void start();

    // A listener is bound: the name the log gives it; a PJLink listener's address and MAC, which
    // its search answers name.
    void bound(int listener, std::string name, std::optional<Announcer::Projector> answersAs = {});
    const std::vector<CoreListener>& listeners() const { return m_plan.listeners; }
    const std::string& listenerName(int listener) const { return m_names.at(std::size_t(listener)); }
    // How long the listener's next newcomer waits for a place.
    std::chrono::milliseconds wait(int listener) const { return m_clients.wait(m_index.at(std::size_t(listener))); }

    // A connection to a listener from address (who: how the log names it): its id, and a
    // connection to close to make room for it; or refused (logged here), with what it is told
    // before it is closed (PJLink's ERRA to a banned address), else cut at once.
    struct Admitted {
        ClientId id;
        std::optional<ClientId> evicted;
    };
    struct Refused {
        std::string farewell;
    };
    std::variant<Admitted, Refused> connect(int listener, const std::string& address, const std::string& who);
    // Starts the connection admitted: its greeting, its time limits.
    void opened(ClientId id);
    // Whether the client's bytes are read now, with unsent of its replies not taken.
    bool reading(ClientId id, std::size_t unsent) const;
    void received(ClientId id, std::string_view bytes);
    // The client took some of its replies: unsent wait still.
    void took(ClientId id, std::size_t unsent);
    void disconnected(ClientId id);

    // The web remote: its rules, and its pages as clients of the line.
    WebAccess& webAccess() { return *m_webAccess; }
    WebRoutes& webRoutes() { return *m_webRoutes; }
    WebRemote& webRemote() { return *m_webRemote; }
    bool hasWeb() const { return m_webRemote != nullptr; }
    // A place for a page's socket from address (who: how the log names it): its id, or nullopt
    // when every place is taken.
    std::optional<ClientId> admitPage(const std::string& address, const std::string& who = {});
    // The page admitted is served: told every projector's state at once, and each change.
    void pageOpened(ClientId id, std::function<void(const std::string&)> send) { m_webRemote->opened(id, std::move(send)); }
    void pageClosed(ClientId id);
    void setWebName(std::string name) { m_webName = std::move(name); }

    // A datagram on the search socket.
    void searched(std::string_view bytes, const std::string& address) { m_announcer.received(bytes, address); }
    // The passwords read again, by listener, and the web remote's (nullopt: as it is).
    void setPasswords(const std::vector<std::optional<std::string>>& passwords, std::optional<std::string> web);

    std::string metrics() const;
    // What the bridge did, for its last log line.
    std::string summary() const;
    // A line of the log that a flood cannot multiply: summarised by kind.
    void sayLimited(const std::string& kind, const std::string& text, const std::string& from = {},
                    Priority priority = Priority::Warning);
    void say(const std::string& text, Priority priority = Priority::Notice) const;
    // A client connected: a line of its own with --verbose, else counted for the minute's summary.
    void tellConnected(const std::string& kind, const std::string& who, const std::string& address);

    ExchangeQueue& queue() { return m_queue; }
    const Clock& clock() const { return m_clock; }

  private:
    struct Connection {
        int listener = 0;
        std::string who, address;
        std::unique_ptr<Timer> idle, stall;
        std::unique_ptr<OutputBound> bound;
        std::unique_ptr<PjlinkSession> pjlink;
        std::unique_ptr<SharedLineClient> shared;
    };
    ProjectorState& projector(const std::string& prefix);
    // A projector as the log names it: "001 (Hall left)", "the projector (TOVA M4)".
    std::string projectorName(const std::string& prefix) const;
    void answeringChanged(const std::string& prefix, Answering::State now, Answering::State before,
                          std::chrono::milliseconds silentFor);
    // Whether a line is kept off the wire: its projector does not answer, and it is no probe.
    bool withheld(const Request& r);
    // Whether the shared line may address that target: a served projector, or any but where
    // none has an address of its own; unaddressed lines and lines to every projector always.
    bool mayAddress(int target) const;
    void serveProjectors();
    void startWeb();
    void sendTo(ClientId id, const std::string& bytes);
    void startPjlink(ClientId id, Connection& c);
    void startShared(ClientId id, Connection& c);
    std::string refusal(int listener, ClientRegistry::Refusal why) const;

    CorePlan m_plan;
    Events m_tell;
    SerialControl& m_line;
    const Clock& m_clock;
    const std::chrono::milliseconds m_startedAt = m_clock.wallTime(); // the calendar's, for /metrics
    MakeTimer m_makeTimer;
    std::unique_ptr<Timer> m_timeout, m_guard, m_retry, m_logWindow, m_searchTurns, m_tallyTimer;
    ExchangeQueue m_queue;
    ClientRegistry m_clients;
    DigestBackoff m_backoff;
    LogLimiter m_limiter;
    ConnectionTally m_tally;
    Announcer m_announcer;
    DeviceKeeper m_keeper;
    LineStats m_stats;
    std::uint64_t m_pjlinkFailures = 0;
    std::vector<int> m_index;                // each listener's number in the registry
    std::vector<ProjectorState*> m_stateOf;  // each listener's projector (PJLink)
    std::vector<std::string> m_names;        // each listener's, as the log names it
    std::map<std::string, std::unique_ptr<ProjectorState>> m_states; // by address on the line
    std::vector<std::unique_ptr<Timer>> m_pollTimers;
    std::vector<std::unique_ptr<Poller>> m_pollers;
    std::vector<std::unique_ptr<Timer>> m_answerTimers; // outlive what they tick for
    std::map<std::string, std::unique_ptr<Answering>> m_answering; // by address on the line
    struct Probe {
        std::chrono::milliseconds last{-Answering::kWindowWithoutPolling}; // a client's line let through as a probe
        bool told = false;                         // that its lines are withheld
    };
    std::map<std::string, Probe> m_probes;         // by address on the line
    std::vector<ServedProjector> m_projectors; // as the web remote and the metrics name them
    std::map<ClientId, Connection> m_connections;
    int m_pageListener = -1;
    std::string m_webName;
    std::unique_ptr<WebAccess> m_webAccess;
    std::unique_ptr<WebRoutes> m_webRoutes;
    std::unique_ptr<WebRemote> m_webRemote;
};

} // namespace tova::bridge
