// SPDX-License-Identifier: MIT
#pragma once
// The web remote's pages: what they may ask of the projectors on the line and what they are
// told. A page's messages are words ("press 0 Command17", "hold 0 Command1", "keep 0",
// "release 0"); it is told in JSON: each projector's tiles as the poller keeps them, the line's
// traffic for it (sent, received, decoded), which button is held and by whom, and why a press
// was refused. The traffic strip of a projector shows the pages' own presses, each told by its
// own reply, as the panel's service view shows the panel's. The sockets are the Qt layer's.
#include "bridge/projector.hpp"
#include "bridge/projector_state.hpp"
#include "bridge/web/remote_control.hpp"
#include "core/timer.hpp"
#include "link/exchange_queue.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tova::bridge {

// What a page may send.
struct PageMessage {
    enum Kind { Press, Hold, Keep, Release } kind;
    std::size_t projector;
    std::string button; // Press and Hold
};
// A page's message, or nullopt for anything else.
std::optional<PageMessage> parsePageMessage(std::string_view text);

// The page's layout: each group of buttons of the tables, in the order the panel shows them.
std::span<const std::string_view> pageGroups();

class WebRemote {
  public:
    static constexpr std::size_t kMaxMessage = 256;

    WebRemote(ExchangeQueue& queue, std::vector<ServedProjector> projectors,
              const std::function<std::unique_ptr<Timer>()>& makeTimer);
    WebRemote(const WebRemote&) = delete;
    WebRemote& operator=(const WebRemote&) = delete;

    // The projectors and the buttons, groups and captions, built from the tables: JSON.
    // login: whether this listener asks for a password (a page offers to log out only then).
    std::string tables(bool login = false) const;

    // A page's socket opened: it is told every projector's state and hold at once.
    void opened(ClientId page, std::function<void(const std::string&)> send);
    // False for a message that is none of the page's: the caller closes the page.
    bool received(ClientId page, std::string_view message);
    void closed(ClientId page);

    // The line gone or back, and every answer a projector's state read, for the tiles.
    void lineChanged(bool up);
    void answered(const ProjectorState& state);

    std::size_t pages() const { return m_pages.size(); }
    const RemoteControl& control(std::size_t projector) const { return *m_projectors.at(projector).control; }

  private:
    struct Projector {
        ServedProjector config;
        std::unique_ptr<Timer> repeat, keepHeld;
        std::unique_ptr<RemoteControl> control;
        std::int16_t pressure = 0; // the decoder's last pressure value
    };
    std::string stateJson(std::size_t p) const;
    std::string holdJson(std::size_t p, ClientId page) const;
    void tellAll(const std::function<std::string(ClientId)>& message);
    void tell(ClientId page, const std::string& message);
    void note(ClientId page, std::size_t p, std::string_view text);
    void held(std::size_t p, std::optional<RemoteControl::Ended> why, std::optional<ClientId> holder);
    // A press's or a hold's line has ended: every page's strip of its projector shows it.
    void showTraffic(std::size_t p, const std::string& line, const ExchangeResult& e);

    ExchangeQueue& m_queue;
    std::vector<Projector> m_projectors;
    std::map<ClientId, std::function<void(const std::string&)>> m_pages;
    bool m_lineUp = true;
};

} // namespace tova::bridge
