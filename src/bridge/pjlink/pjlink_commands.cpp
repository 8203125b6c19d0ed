// SPDX-License-Identifier: MIT
// The mapping of PJLink's commands onto the panel's codes and replies: one row a command, with
// the classes that serve it and its handler.
#include "bridge/pjlink/pjlink_session.hpp"

#include "link/query_table.hpp"
#include "tables/command_table.hpp"
#include "tables/controls.hpp"
#include "tables/hold_table.hpp"

#include <algorithm>

namespace tova::bridge {
namespace {

// A set command's answer: acknowledged, refused (the projector cannot now), or no answer.
std::string setAnswer(const ExchangeResult& r) {
    if (r.outcome != ExchangeResult::Replied) return "ERR4";
    if (r.reply.kind == ReplyKind::Acknowledged) return "OK";
    if (r.reply.kind == ReplyKind::Refused) return "ERR3";
    return "ERR4";
}

// A query's answer, read from the reply by read.
std::string queryAnswer(const ExchangeResult& r, const std::function<std::string(std::string_view)>& read) {
    if (r.outcome != ExchangeResult::Replied) return "ERR4";
    if (r.reply.kind == ReplyKind::Refused) return "ERR3";
    if (r.reply.kind != ReplyKind::Answered) return "ERR4";
    return read(r.bytes);
}

bool lit(std::optional<Power> p) { return p == Power::On || p == Power::WarmingUp; }

} // namespace

struct PjlinkSession::Command {
    std::string_view word;
    bool classOne, classTwo;                                          // the headers that serve it
    std::string (*setting)(const ProjectorConfig&) = nullptr;         // a query answered from the settings
    void (PjlinkSession::*handler)(const Pending&, Answer) = nullptr; // else; neither: the device has none
};

// Class 1 commands under %1 only, INPT and INST under both, Class 2's own under %2 only.
const PjlinkSession::Command* PjlinkSession::findCommand(std::string_view word) {
    using C = const ProjectorConfig&;
    static const Command kCommands[] = {
        {"POWR", true, false, nullptr, &PjlinkSession::power},
        {"INPT", true, true, nullptr, &PjlinkSession::input},
        {"AVMT", true, false, nullptr, &PjlinkSession::mute},
        {"ERST", true, false, nullptr, &PjlinkSession::errors},
        {"LAMP", true, false, nullptr, &PjlinkSession::lamps},
        {"INST", true, true, nullptr, &PjlinkSession::inputList},
        {"NAME", true, false, [](C c) { return c.name; }},
        {"INF1", true, false, [](C) { return std::string("TOVA"); }},
        {"INF2", true, false, nullptr, &PjlinkSession::model},
        {"INFO", true, false, [](C c) { return c.info; }},
        {"CLSS", true, false, [](C) { return std::string("2"); }},
        {"FREZ", false, true, nullptr, &PjlinkSession::freeze},
        {"SVOL", false, true, nullptr, &PjlinkSession::volume},
        {"INNM", false, true, nullptr, &PjlinkSession::inputName},
        {"SNUM", false, true, [](C c) { return c.serial; }},
        {"SVER", false, true, [](C c) { return c.version; }},
        {"RLMP", false, true, [](C c) { return c.lampModel; }},
        {"RFIL", false, true, [](C c) { return c.filterModel; }},
        // The projector has no microphone, and the serial protocol tells no filter hours and
        // no resolution: a device without them answers ERR1.
        {"MVOL", false, true},
        {"FILT", false, true},
        {"IRES", false, true},
        {"RRES", false, true},
    };
    for (const auto& c : kCommands)
        if (c.word == word) return &c;
    return nullptr;
}

void PjlinkSession::run(Pending& p) {
    // The pending request stays where it is (a deque keeps its elements) until it is answered.
    Answer done = [this, &p](const std::string& result) {
        p.answer = result;
        m_running = false;
        next();
    };
    const Command* c = findCommand(p.command);
    if (!c || (p.header == '1' && !c->classOne) || (p.header == '2' && !c->classTwo) || (p.header != '1' && p.header != '2'))
        return done("ERR1");
    if (c->handler) return (this->*c->handler)(p, done);
    if (!c->setting) return done("ERR1");
    if (p.parameter != "?") return done("ERR2");
    return done(c->setting(m_config));
}

void PjlinkSession::ask(QueryId id, std::function<std::string(std::string_view)> read, Answer done) {
    exchange(query(id).code, [read = std::move(read), done = std::move(done)](const ExchangeResult& r) {
        done(queryAnswer(r, read));
    });
}

void PjlinkSession::set(std::string_view button, Answer done, std::function<void()> acknowledged) {
    exchange(codeOf(button), [done = std::move(done), acknowledged = std::move(acknowledged)](const ExchangeResult& r) {
        const std::string a = setAnswer(r);
        if (a == "OK" && acknowledged) acknowledged();
        done(a);
    });
}

void PjlinkSession::power(const Pending& p, Answer done) {
    if (p.parameter == "?")
        return ask(QueryId::Status, [this](std::string_view r) {
            m_state.status(r);
            return powerAnswer(r);
        }, done);
    if (p.parameter == "1" || p.parameter == "0") return set(p.parameter == "1" ? ctl::PowerOn : ctl::PowerOff, done);
    done("ERR2");
}

void PjlinkSession::input(const Pending& p, Answer done) {
    if (p.parameter == "?")
        return ask(QueryId::InputMode, [this](std::string_view r) {
            m_state.inputMode(r);
            return inputAnswer(r, m_config.inputs);
        }, done);
    const auto& in = m_config.inputs;
    const auto it = std::find(in.begin(), in.end(), p.parameter);
    // A Class 1 client knows only Class 1's inputs.
    if (it == in.end() || (p.header == '1' && !classOneInput(p.parameter))) return done("ERR2");
    set(ctl::InputModeSet[static_cast<std::size_t>(it - in.begin())], done);
}

void PjlinkSession::inputList(const Pending& p, Answer done) {
    if (p.parameter != "?") return done("ERR2");
    std::string list;
    for (const auto& i : m_config.inputs)
        if (p.header == '2' || classOneInput(i)) list += (list.empty() ? "" : " ") + i;
    done(list);
}

void PjlinkSession::inputName(const Pending& p, Answer done) {
    // "?11": the name of input 11.
    const auto& in = m_config.inputs;
    const auto it = p.parameter.size() == 3 && p.parameter[0] == '?' ? std::find(in.begin(), in.end(), p.parameter.substr(1))
                                                                       : in.end();
    if (it == in.end()) return done("ERR2");
    done(m_config.inputNames[static_cast<std::size_t>(it - in.begin())]);
}

void PjlinkSession::mute(const Pending& p, Answer done) {
    const std::string& parameter = p.parameter;
    if (parameter == "?")
        return ask(QueryId::MuteAndSignal, [this](std::string_view r) { return muteAnswer(r, m_state.mute); }, done);
    if (parameter.size() != 2 || parameter[0] < '1' || parameter[0] > '3' || (parameter[1] != '0' && parameter[1] != '1'))
        return done("ERR2");
    const bool on = parameter[1] == '1';
    const bool video = parameter[0] != '2', audio = parameter[0] != '1';
    auto audioStep = [this, done, on, audio]() {
        if (!audio) return done("OK");
        set(on ? ctl::SoundMuteOn : ctl::SoundMuteOff, done, [this, on] { m_state.mute.audio = on; });
    };
    if (!video) return audioStep();
    // Both only when the first was acknowledged.
    set(on ? ctl::NoShowOn : ctl::NoShowOff,
        [done, audioStep](const std::string& a) {
            if (a != "OK") return done(a);
            audioStep();
        },
        [this, on] { m_state.mute.video = on; });
}

void PjlinkSession::errors(const Pending& p, Answer done) {
    if (p.parameter != "?") return done("ERR2");
    ask(QueryId::Status, [this](std::string_view r) {
        m_state.status(r);
        return errorStatusAnswer(r);
    }, done);
}

void PjlinkSession::lamps(const Pending& p, Answer done) {
    if (p.parameter != "?") return done("ERR2");
    exchange(query(QueryId::LampHours).code, [this, done](const ExchangeResult& hours) {
        if (hours.outcome != ExchangeResult::Replied || hours.reply.kind != ReplyKind::Answered)
            return done(queryAnswer(hours, {}));
        exchange(query(QueryId::LampMode).code, [this, done, h = hours.bytes](const ExchangeResult& mode) {
            if (mode.outcome != ExchangeResult::Replied || mode.reply.kind != ReplyKind::Answered)
                return done(queryAnswer(mode, {}));
            // A lamp in use is lit only while the projector is on or warming up.
            ask(QueryId::Status, [this, h, m = mode.bytes](std::string_view s) {
                m_state.status(s);
                return lampAnswer(h, m, s);
            }, done);
        });
    });
}

void PjlinkSession::model(const Pending& p, Answer done) {
    if (p.parameter != "?") return done("ERR2");
    ask(QueryId::PcType, modelAnswer, done);
}

void PjlinkSession::freeze(const Pending& p, Answer done) {
    if (p.parameter == "?") {
        // What was set through the bridge since the projector came on: the projector cannot tell.
        const auto power = m_state.power();
        if (!m_state.freeze || (power && !lit(power))) return done("ERR3");
        return done(*m_state.freeze ? "1" : "0");
    }
    if (p.parameter != "1" && p.parameter != "0") return done("ERR2");
    const bool on = p.parameter == "1";
    set(on ? ctl::FreezeOn : ctl::FreezeOff, done, [this, on] { m_state.freeze = on; });
}

void PjlinkSession::volume(const Pending& p, Answer done) {
    // One step of the VOL buttons; at the limit the projector still acknowledges it.
    if (p.parameter != "1" && p.parameter != "0") return done("ERR2");
    const HoldButton* b = findHoldButton(p.parameter == "1" ? ctl::VolumeUp : ctl::VolumeDown);
    exchange(b->pressCode, [done](const ExchangeResult& r) { done(setAnswer(r)); });
}

} // namespace tova::bridge
