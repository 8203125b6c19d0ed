// SPDX-License-Identifier: MIT
#include "bridge/web/web_remote.hpp"

#include "bridge/answering.hpp"
#include "bridge/pjlink/pjlink_answers.hpp"
#include "core/json.hpp"
#include "link/decoder.hpp"
#include "link/traffic.hpp"
#include "tables/button_groups.hpp"
#include "tables/command_table.hpp"
#include "tables/controls.hpp"
#include "tables/hold_table.hpp"
#include "tables/layout_table.hpp"
#include "tables/vocabulary.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>

namespace tova::bridge {
namespace {


struct PageButton {
    std::string_view name;
    bool held;
};

std::vector<PageButton> buttonsOf(std::string_view group) {
    std::vector<PageButton> out;
    for (const auto& b : commandButtons())
        if (b.group == group) out.push_back({b.name, false});
    for (const auto& b : holdButtons())
        if (b.group == group) out.push_back({b.name, true});
    return out;
}

// Its index among the distinct values, in order: a button's row or column within its group.
int rank(const std::set<int>& values, int v) { return static_cast<int>(std::distance(values.begin(), values.find(v))); }

std::string colour(Rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c & 0xFFFFFF));
    return buf;
}

Json groupJson(std::string_view group) {
    const auto buttons = buttonsOf(group);
    std::set<int> tops, lefts;
    for (const auto& b : buttons) {
        const LayoutControl* c = findLayoutControl(b.name);
        tops.insert(c->top);
        lefts.insert(c->left);
    }
    // Laid out as on the panel where the panel sets a few out in two directions (the arrow pad,
    // lens shift, lamp select, picture mode); elsewhere in a row that wraps.
    const bool grid = tops.size() > 1 && lefts.size() > 1 && buttons.size() <= 5;
    // A source matrix is long and seldom wanted: folded, one open at a time.
    const bool fold = std::find(std::begin(groups::InputSource), std::end(groups::InputSource), group) !=
                      std::end(groups::InputSource);
    Json out{{"name", group}, {"grid", grid}, {"fold", fold}, {"buttons", Json::array()}};
    for (const PageButton& b : buttons) {
        const LayoutControl* c = findLayoutControl(b.name);
        out["buttons"].push_back({{"name", b.name},
                                  {"caption", c->caption},
                                  {"tip", describeButton(b.name)},
                                  {"held", b.held},
                                  // A slip of the thumb must not darken the hall: a second tap.
                                  {"confirm", b.name == ctl::PowerOff},
                                  {"colour", colour(c->back)},
                                  {"row", rank(tops, c->top)},
                                  {"col", rank(lefts, c->left)}});
    }
    return out;
}

std::string_view level(char digit) { return digit == '1' ? "warning" : "error"; }

std::optional<std::size_t> index(std::string_view digits) {
    std::size_t v = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || digits.empty() || digits.size() > 2) return std::nullopt;
    return v;
}

} // namespace

std::span<const std::string_view> pageGroups() { return groups::kInOrder; }

std::optional<PageMessage> parsePageMessage(std::string_view text) {
    std::vector<std::string_view> words;
    while (!text.empty() && words.size() < 4) {
        const auto space = text.find(' ');
        words.push_back(text.substr(0, space));
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    }
    if (!text.empty() || words.size() < 2) return std::nullopt;
    const auto p = index(words[1]);
    if (!p) return std::nullopt;
    if (words.size() == 3 && (words[0] == "press" || words[0] == "hold"))
        return PageMessage{words[0] == "press" ? PageMessage::Press : PageMessage::Hold, *p, std::string(words[2])};
    if (words.size() == 2 && (words[0] == "keep" || words[0] == "release"))
        return PageMessage{words[0] == "keep" ? PageMessage::Keep : PageMessage::Release, *p, {}};
    return std::nullopt;
}

WebRemote::WebRemote(ExchangeQueue& queue, std::vector<ServedProjector> projectors,
                     const std::function<std::unique_ptr<Timer>()>& makeTimer)
    : m_queue(queue) {
    for (auto& config : projectors) {
        Projector p;
        p.config = std::move(config);
        p.repeat = makeTimer();
        p.keepHeld = makeTimer();
        const std::size_t i = m_projectors.size();
        p.control = std::make_unique<RemoteControl>(
            m_queue, *p.repeat, *p.keepHeld, p.config.prefix,
            RemoteControl::Callbacks{
                .holdChanged = [this, i, holder = std::optional<ClientId>()](std::optional<RemoteControl::Ended> why) mutable {
                    if (!why) holder = m_projectors[i].control->holder();
                    held(i, why, holder);
                },
                .replied = [this, i](ClientId, const std::string& line, const ExchangeResult& e) { showTraffic(i, line, e); }});
        m_projectors.push_back(std::move(p));
    }
}

void WebRemote::answered(const ProjectorState& state) {
    for (std::size_t i = 0; i < m_projectors.size(); ++i)
        if (m_projectors[i].config.state == &state) tellAll([this, i](ClientId) { return stateJson(i); });
}

std::string WebRemote::tables(bool login) const {
    Json out{{"login", login}, {"projectors", Json::array()}, {"groups", Json::array()}};
    for (const Projector& p : m_projectors) out["projectors"].push_back({{"name", p.config.name}, {"address", p.config.prefix}});
    for (std::string_view group : groups::kInOrder) out["groups"].push_back(groupJson(group));
    return dumpJson(out);
}

std::string WebRemote::stateJson(std::size_t i) const {
    const Projector& p = m_projectors[i];
    const ProjectorState& s = *p.config.state;
    const int mode = s.inputMode();
    Json out{{"type", "state"},
             {"projector", i},
             {"line", m_lineUp ? "up" : "down"},
             {"power", powerName(s.power())},
             {"status", s.statusText()},
             {"input", mode >= 1 && mode <= 5 ? Json(p.config.inputNames[std::size_t(mode - 1)]) : Json()},
             {"mute", s.muteText().empty() ? Json() : Json(s.muteText())},
             {"lampHours", s.lampHours() ? Json(*s.lampHours()) : Json()},
             {"errors", nullptr},
             {"age", nullptr},
             {"answering", "unknown"},
             {"silentSince", nullptr},
             {"polled", p.config.polled}};
    // Whether it answers: "no" with the calendar's time since when (ms since 1970).
    if (const Answering* a = p.config.answering) {
        out["answering"] = a->state() == Answering::State::Yes ? "yes" : a->state() == Answering::State::No ? "no" : "unknown";
        if (const auto since = a->silentSince()) out["silentSince"] = since->count();
    }
    if (s.errors().size() == kErrorNames.size()) {
        out["errors"] = Json::array();
        for (std::size_t e = 0; e < kErrorNames.size(); ++e)
            if (s.errors()[e] != '0') out["errors"].push_back(std::string(kErrorNames[e]) + " " + std::string(level(s.errors()[e])));
    }
    // Seconds to a tenth: the tile says how fresh its news is, no more.
    if (const auto last = s.lastAnswer())
        out["age"] = std::round(std::chrono::duration<double>(m_queue.clock().now() - *last).count() * 10) / 10;
    return dumpJson(out);
}

std::string WebRemote::holdJson(std::size_t i, ClientId page) const {
    const RemoteControl& c = *m_projectors[i].control;
    const std::string by = !c.holder() ? "" : *c.holder() == page ? "you" : "another page";
    return dumpJson({{"type", "hold"}, {"projector", i}, {"button", c.heldButton()}, {"by", by}});
}

void WebRemote::tell(ClientId page, const std::string& message) {
    if (auto it = m_pages.find(page); it != m_pages.end()) it->second(message);
}

void WebRemote::tellAll(const std::function<std::string(ClientId)>& message) {
    for (const auto& [page, send] : m_pages) send(message(page));
}

void WebRemote::note(ClientId page, std::size_t p, std::string_view text) {
    tell(page, dumpJson({{"type", "note"}, {"projector", p}, {"text", text}}));
}

void WebRemote::held(std::size_t p, std::optional<RemoteControl::Ended> why, std::optional<ClientId> holder) {
    tellAll([this, p](ClientId page) { return holdJson(p, page); });
    if (!why || !holder) return;
    switch (*why) {
    case RemoteControl::Ended::KeepHeldMissed: note(*holder, p, "Released: the page went quiet."); break;
    case RemoteControl::Ended::TooLong: note(*holder, p, "Released after 30 s: press again to go on."); break;
    case RemoteControl::Ended::LineDown: note(*holder, p, "Released: the line is down."); break;
    case RemoteControl::Ended::Released:
    case RemoteControl::Ended::PageGone: break;
    }
}

void WebRemote::opened(ClientId page, std::function<void(const std::string&)> send) {
    m_pages[page] = std::move(send);
    for (std::size_t i = 0; i < m_projectors.size(); ++i) {
        tell(page, stateJson(i));
        tell(page, holdJson(i, page));
    }
}

bool WebRemote::received(ClientId page, std::string_view message) {
    if (message.size() > kMaxMessage) return false;
    const auto m = parsePageMessage(message);
    if (!m || m->projector >= m_projectors.size()) return false;
    RemoteControl& c = *m_projectors[m->projector].control;
    using R = RemoteControl::Refused;
    R r = R::None;
    switch (m->kind) {
    case PageMessage::Press: r = c.press(page, m->button); break;
    case PageMessage::Hold: r = c.hold(page, m->button); break;
    case PageMessage::Keep: r = c.keepHeld(page); break;
    case PageMessage::Release: c.release(page); break;
    }
    switch (r) {
    case R::None: break;
    case R::UnknownButton: return false;
    case R::NotHolding: tell(page, holdJson(m->projector, page)); break; // it missed the end
    case R::HeldElsewhere:
        note(page, m->projector, "Another page holds " + describeButton(c.heldButton()) + ": wait for its release.");
        break;
    case R::Full: note(page, m->projector, "Too many presses waiting for the line: wait a moment."); break;
    case R::LineDown: note(page, m->projector, "The line to the projector is down."); break;
    }
    return true;
}

void WebRemote::closed(ClientId page) {
    m_pages.erase(page);
    for (auto& p : m_projectors) p.control->forget(page);
    m_queue.forget(page);
}

void WebRemote::showTraffic(std::size_t i, const std::string& line, const ExchangeResult& e) {
    Projector& p = m_projectors[i];
    std::string received, decoded;
    if (e.outcome == ExchangeResult::Replied) received = trafficText(e.bytes);
    else if (e.outcome == ExchangeResult::TimedOut || e.outcome == ExchangeResult::NotTaken) received = std::string(kNoReplyMark);
    if (e.outcome == ExchangeResult::Replied) {
        const DecodeResult d = decodeReply(line, p.config.prefix, received, p.pressure);
        p.pressure = d.pressureValue;
        decoded = d.words.value_or("");
    }
    const std::string message = dumpJson({{"type", "traffic"},
                                          {"projector", i},
                                          {"sent", jsonBytes(trafficText(line))},
                                          {"received", jsonBytes(received)},
                                          {"decoded", decoded}});
    tellAll([&message](ClientId) { return message; });
}

void WebRemote::lineChanged(bool up) {
    m_lineUp = up;
    for (std::size_t i = 0; i < m_projectors.size(); ++i) tellAll([this, i](ClientId) { return stateJson(i); });
}

} // namespace tova::bridge
