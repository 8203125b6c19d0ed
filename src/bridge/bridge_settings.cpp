// SPDX-License-Identifier: MIT
#include "bridge/bridge_settings.hpp"

#include "bridge/setting_values.hpp"
#include "link/address.hpp"

#include <algorithm>

namespace tova::bridge {
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
    return setListenerKey(it->second, key, value);
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

ProjectorConfig projectorConfig(const BridgeSettings& s, const ListenerSpec& own) {
    ProjectorConfig c;
    c.prefix = own.prefix;
    if (s.name) c.name = *s.name;
    if (s.inputs) c.inputs = *s.inputs;
    if (own.name) c.name = *own.name;
    if (own.inputs) c.inputs = *own.inputs;
    if (own.inputNames) c.inputNames = *own.inputNames;
    c.serial = own.serial;
    c.version = own.version;
    c.lampModel = own.lampModel;
    c.filterModel = own.filterModel;
    return c;
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
