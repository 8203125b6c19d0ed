// SPDX-License-Identifier: MIT
#include "bridge/bridge_settings.hpp"

#include "bridge/setting_values.hpp"
#include "link/address.hpp"

#include <algorithm>

namespace tova::bridge {
namespace {

// A listener's own setting; what is wrong with it, if anything.
std::optional<std::string> setListener(ListenerSpec& l, std::string_view key, std::string_view value) {
    const bool pjlink = l.kind == ClientKind::Pjlink;
    if (key == "listen") {
        const auto where = parseHostPort(value);
        if (!where) return std::string("listen= takes HOST:PORT, the port a number from 0 to 65535");
        l.where = *where;
    } else if (key == "max-clients") {
        const auto n = positiveNumber(value);
        if (!n) return std::string("max-clients= takes a number above 0");
        l.maxClients = n;
    } else if (pjlink && key == "address") {
        const auto projector = projectorNumber(value);
        if (!projector) return std::string("address= takes 001 to 004");
        l.prefix = prefixFor(*projector);
    } else if (pjlink && key == "name") {
        if (!validName(value)) return std::string(kNameRule);
        l.name = std::string(value);
    } else if (pjlink && key == "inputs") {
        l.inputs = parseInputs(value);
        if (!l.inputs) return std::string("inputs= takes five PJLink inputs, such as 11,12,13,14,15");
    } else if (pjlink && key == "input-names") {
        l.inputNames = parseInputNames(value);
        if (!l.inputNames) return std::string("input-names= takes five names, such as PC,Lectern,Video,Camera,Spare");
    } else if (pjlink && (key == "serial" || key == "version" || key == "lamp-model" || key == "filter-model")) {
        const bool printable = std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
        if (!printable || value.size() > 32) return std::string(key) + "= takes up to 32 printable characters";
        (key == "serial" ? l.serial : key == "version" ? l.version : key == "lamp-model" ? l.lampModel : l.filterModel) =
            std::string(value);
    } else if (pjlink && key == "password-file") {
        if (value.empty()) return std::string("password-file= takes a file");
        l.passwordFile = std::string(value);
    } else {
        return "no setting " + std::string(key) + "= for a " + (pjlink ? "PJLink listener" : "shared line");
    }
    return std::nullopt;
}

} // namespace

std::variant<ListenerSpec, std::string> parseListenerSpec(std::string_view text, ClientKind kind) {
    ListenerSpec s;
    s.kind = kind;
    s.label = std::string(text);
    // The extras start with ",key="; a value runs to the next one (an inputs list may hold
    // commas itself, a name blanks and commas).
    static constexpr std::string_view kKeys[] = {",name=",   ",inputs=",     ",max-clients=",  ",input-names=",
                                                 ",serial=", ",version=",    ",lamp-model=",   ",filter-model="};
    auto nextKey = [](std::string_view from) {
        std::size_t at = std::string_view::npos;
        for (std::string_view key : kKeys) at = std::min(at, from.find(key));
        return at;
    };
    std::string_view rest;
    if (const std::size_t at = nextKey(text); at != std::string_view::npos) {
        rest = text.substr(at);
        text = text.substr(0, at);
    }
    if (const std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        if (kind != ClientKind::Pjlink) return std::string("the shared line takes no projector address");
        if (auto why = setListener(s, "address", text.substr(slash + 1)))
            return std::string("the projector address is /001 to /004");
        text = text.substr(0, slash);
    }
    if (auto why = setListener(s, "listen", text)) return std::string("HOST:PORT is needed, the port a number from 0 to 65535");
    while (!rest.empty()) {
        rest.remove_prefix(1); // the comma
        const std::size_t eq = rest.find('=');
        const std::string_view key = rest.substr(0, eq);
        rest.remove_prefix(eq + 1);
        const std::size_t next = nextKey(rest);
        const std::string_view value = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
        if (auto why = setListener(s, key, value)) return *why;
    }
    return s;
}

std::optional<std::string> SettingsFile::set(std::string_view section, std::string_view key, std::string_view value) {
    if (!m_seen.emplace(std::string(section), std::string(key)).second)
        return std::string(key) + " is set twice" +
               (section.empty() ? std::string() : " (each listener needs a section of its own, e.g. [pjlink hall-left])");
    if (section.empty()) {
        BridgeSettings& s = m_s;
        if (key == "device") {
            s.device = std::string(value);
        } else if (key == "speed") {
            if (value != "19200" && value != "9600") return std::string("speed= takes 19200 or 9600");
            s.speed = value == "9600" ? 9600 : 19200;
        } else if (key == "trace") {
            s.trace = std::string(value);
        } else if (key == "verbose") {
            s.verbose = onOff(value);
            if (!s.verbose) return std::string("verbose= takes true or false");
        } else if (key == "password-file") {
            s.passwordFile = std::string(value);
        } else if (key == "name") {
            if (!validName(value)) return std::string(kNameRule);
            s.name = std::string(value);
        } else if (key == "inputs") {
            s.inputs = parseInputs(value);
            if (!s.inputs) return std::string("inputs= takes five PJLink inputs, such as 11,12,13,14,15");
        } else if (key == "max-clients") {
            s.maxClients = positiveNumber(value);
            if (!s.maxClients) return std::string("max-clients= takes a number above 0");
        } else if (key == "poll") {
            const auto n = value == "0" ? std::optional<int>(0) : positiveNumber(value);
            if (!n || *n > 3600) return std::string("poll= takes seconds from 0 (no polling) to 3600");
            s.pollSeconds = n;
        } else if (key == "search") {
            s.search = parseHostPort(value);
            if (!s.search) return std::string("search= takes HOST:PORT");
        } else if (isWebKey(key)) {
            return setWebKey(s.web, key, value);
        } else if (key == "notify") {
            for (std::string_view one : commaSeparated(value)) {
                const auto target = parseNotifyTarget(one);
                if (!target) return std::string("notify= takes HOST[:PORT], comma-separated");
                s.notify.push_back(*target);
            }
        } else {
            return "no setting " + std::string(key) + "=";
        }
        return std::nullopt;
    }
    const std::string_view kind = section.substr(0, section.find(' '));
    if (kind != "pjlink" && kind != "share") return "no section [" + std::string(section) + "]: [pjlink NAME] or [share NAME]";
    auto it = m_listeners.find(section);
    if (it == m_listeners.end()) {
        ListenerSpec l;
        l.kind = kind == "pjlink" ? ClientKind::Pjlink : ClientKind::SharedLine;
        l.label = "[" + std::string(section) + "]";
        l.where.port = -1; // none yet
        it = m_listeners.emplace(std::string(section), l).first;
        m_order.emplace_back(section);
    }
    return setListener(it->second, key, value);
}

std::variant<BridgeSettings, std::string> SettingsFile::settings() const {
    BridgeSettings s = m_s;
    for (const auto& section : m_order) {
        const ListenerSpec& l = m_listeners.find(section)->second;
        if (l.where.port < 0) return l.label + " needs listen=HOST:PORT";
        s.listeners.push_back(l);
    }
    return s;
}

BridgeSettings merge(const BridgeSettings& file, const BridgeSettings& line) {
    BridgeSettings s = file;
    overlay(s.device, line.device);
    overlay(s.speed, line.speed);
    overlay(s.trace, line.trace);
    overlay(s.verbose, line.verbose);
    overlay(s.passwordFile, line.passwordFile);
    overlay(s.name, line.name);
    overlay(s.inputs, line.inputs);
    overlay(s.maxClients, line.maxClients);
    overlay(s.pollSeconds, line.pollSeconds);
    overlay(s.search, line.search);
    if (!line.notify.empty()) s.notify = line.notify;
    if (!line.listeners.empty()) s.listeners = line.listeners;
    s.web = mergeWeb(file.web, line.web);
    return s;
}

std::optional<std::string> problem(const BridgeSettings& s) {
    if (!s.device) return std::string("--device is required");
    if (s.device->empty()) return std::string("--device is empty");
    if (auto why = webProblem(s.web)) return why;
    if (s.listeners.empty() && !s.web.listen) return std::string("give --pjlink, --share or --http");
    for (std::size_t i = 0; i < s.listeners.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            const HostPort &a = s.listeners[i].where, &b = s.listeners[j].where;
            if (a == b && a.port != 0) // port 0: each gets one of its own
                return formatHostPort(a) + " is given twice";
        }
    for (const auto& l : s.listeners)
        if (s.web.listen && l.where == *s.web.listen && l.where.port != 0)
            return formatHostPort(l.where) + " is given twice";
    return std::nullopt;
}

std::optional<HostPort> parseNotifyTarget(std::string_view text) {
    if (auto hp = parseHostPort(text)) return hp;
    if (text.size() > 2 && text.front() == '[' && text.back() == ']')
        return HostPort{std::string(text.substr(1, text.size() - 2)), kPjlinkPort};
    if (text.empty() || text.find(':') != std::string_view::npos) return std::nullopt;
    return HostPort{std::string(text), kPjlinkPort};
}

int maxClientsOf(const ListenerSpec& l, const BridgeSettings& s) {
    if (l.maxClients) return *l.maxClients;
    if (s.maxClients) return *s.maxClients;
    return l.kind == ClientKind::Pjlink ? kDefaultMaxPjlink : kDefaultMaxShared;
}

std::variant<std::string, std::string> passwordFromFile(std::string_view content, SecretLength length) {
    using R = std::variant<std::string, std::string>;
    if (content.size() > kMaxPasswordFile) return R(std::in_place_index<1>, "is over 4 KB: no password file");
    std::string_view line = content.substr(0, content.find('\n'));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.size() < length.min || line.size() > length.max)
        return R(std::in_place_index<1>, "its first line is the password, " + std::to_string(length.min) + " to " +
                                             std::to_string(length.max) + " characters");
    return R(std::in_place_index<0>, std::string(line));
}

} // namespace tova::bridge
