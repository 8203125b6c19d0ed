// SPDX-License-Identifier: MIT
#include "bridge/bridge_settings.hpp"

#include "core/host_port.hpp"

#include "bridge/setting_values.hpp"
#include "core/settings.hpp"

#include <algorithm>

namespace tova::bridge {
namespace {

using Set = std::optional<std::string> (*)(BridgeSettings&, std::string_view);

std::optional<std::string> text(std::optional<std::string>& to, std::string_view value) {
    to = std::string(value);
    return std::nullopt;
}

struct Key {
    SettingKey shown;
    Set set; // nullptr: a web listener's key, which goes through the web settings' own checks
};

const Key kKeys[] = {
    {{"device", "path", "The serial device, or tcp://HOST:PORT of a device server (required)."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         if (const auto why = deviceServerProblem(v)) return "device= " + *why;
         return text(s.device, v);
     }},
    {{"speed", "baud", "19200 (default) or 9600."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         s.speed = parseSpeed(v);
         if (!s.speed) return "speed= " + std::string(kSpeedRule);
         return std::nullopt;
     }},
    {{"password-file", "file",
      "PJLink password for every projector without its own: the file's first line, up to 32 characters (a "
      "regular file of at most 4 KB)."},
     [](BridgeSettings& s, std::string_view v) { return text(s.passwordFile, v); }},
    {{"name", "text", "Projector name for NAME ? (default TOVA M4)."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         if (!validName(v)) return std::string(kNameRule);
         s.name = std::string(v);
         return std::nullopt;
     }},
    {{"inputs", "list", "PJLink inputs of input modes 1 to 5 (default 11,12,13,14,15)."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         s.inputs = parseInputs(v);
         if (!s.inputs) return std::string("inputs= takes five PJLink inputs, such as 11,12,13,14,15");
         return std::nullopt;
     }},
    {{"max-clients", "n",
      "Connections each listener serves at once, unless it has its own max-clients= (default 32 for PJLink, 8 "
      "for the shared line)."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         s.maxClients = placesNumber(v);
         if (!s.maxClients) return "max-clients= " + std::string(kPlacesRule);
         return std::nullopt;
     }},
    {{"max-per-address", "n",
      "Connections one address may hold on each listener at once, unless it has its own max-per-address= "
      "(default the smaller of 8 and a quarter of its max-clients; 0: no limit). Loopback peers are exempt."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         s.maxPerAddress = perAddressNumber(v);
         if (!s.maxPerAddress) return "max-per-address= " + std::string(kPerAddressRule);
         return std::nullopt;
     }},
    {{"limit-loopback", "", "Hold loopback peers to max-per-address too."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         s.limitLoopback = onOff(v);
         if (!s.limitLoopback) return std::string("limit-loopback= takes true or false");
         return std::nullopt;
     }},
    {{"trace", "file", "Append every line sent and received, with its time, to <file>."},
     [](BridgeSettings& s, std::string_view v) { return text(s.trace, v); }},
    {{"verbose", "", "Log every exchange on the line too."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         s.verbose = onOff(v);
         if (!s.verbose) return std::string("verbose= takes true or false");
         return std::nullopt;
     }},
    {{"poll", "seconds",
      "Ask each PJLink projector its status every <seconds> (default 5; 0: never), for notifications; the "
      "line's clients always go first."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         const auto n = v == "0" ? std::optional<int>(0) : positiveNumber(v);
         if (!n || *n > 3600) return std::string("poll= takes seconds from 0 (no polling) to 3600");
         s.pollSeconds = n;
         return std::nullopt;
     }},
    {{"search", "host:port",
      "Answer PJLink's UDP search on HOST:PORT (a venue gives 0.0.0.0:4352); answers and notifications go to "
      "PORT on the controller's side. Off unless given."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         s.search = parseHostPort(v);
         if (!s.search) return std::string("search= takes HOST:PORT, e.g. 0.0.0.0:4352");
         return std::nullopt;
     }},
    {{"notify", "host[:port]", "Tell this controller of every change (UDP, port 4352 unless given); repeatable."},
     [](BridgeSettings& s, std::string_view v) -> std::optional<std::string> {
         for (std::string_view one : commaSeparated(v)) {
             const auto target = parseNotifyTarget(one);
             if (!target) return std::string("notify= takes HOST[:PORT], comma-separated");
             s.notify.push_back(*target);
         }
         return std::nullopt;
     }},
    {{"http", "host:port", "Serve the web remote (the panel's buttons in any browser) and /metrics there."}, nullptr},
    {{"http-name", "name",
      "A host name the web listener answers to besides its address (repeatable). Every request must name the "
      "listener so: the guard against DNS rebinding."},
     nullptr},
    {{"http-password-file", "file",
      "The web remote's password: the file's first line, 8 to 256 characters. Required unless the listener is "
      "on a loopback address."},
     nullptr},
    {{"http-cert", "file", "Serve HTTPS with this PEM certificate (chain)."}, nullptr},
    {{"http-key", "file", "The unencrypted PEM private key of --http-cert."}, nullptr},
    {{"http-max-clients", "n", "Connections the web listener serves at once (default 128)."}, nullptr},
    {{"http-max-per-address", "n",
      "Connections one address may hold on the web listener (default the smaller of 8 and a quarter of "
      "http-max-clients; 0: no limit). Loopback peers are exempt."},
     nullptr},
    {{"metrics-token-file", "file", "Prometheus's bearer token for /metrics: the file's first line, 16 to 256 characters."},
     nullptr},
    {{"metrics-open", "", "Serve /metrics without a login or a token."}, nullptr},
};

} // namespace

std::vector<SettingKey> settingKeys() {
    std::vector<SettingKey> out;
    for (const Key& k : kKeys) out.push_back(k.shown);
    return out;
}

std::optional<std::string> setKey(BridgeSettings& s, std::string_view key, std::string_view value) {
    for (const Key& k : kKeys)
        if (k.shown.key == key) return k.set ? k.set(s, value) : setWebKey(s.web, key, value);
    std::string known;
    for (const Key& k : kKeys) known += (known.empty() ? "" : ", ") + std::string(k.shown.key);
    return "no setting " + std::string(key) + "= before the sections (the keys: " + known + ")";
}

std::optional<std::string> SettingsFile::begin(std::string_view section, int line) {
    const std::string_view kind = section.substr(0, section.find(' '));
    if (kind != "pjlink" && kind != "share") return "no such section: [pjlink NAME] or [share NAME]";
    if (m_listeners.contains(section)) return std::nullopt;
    ListenerSpec l;
    l.kind = kind == "pjlink" ? ClientKind::Pjlink : ClientKind::SharedLine;
    l.label = "[" + std::string(section) + "]";
    l.where.port = -1; // none yet
    m_listeners.emplace(std::string(section), l);
    m_order.emplace_back(section, line);
    return std::nullopt;
}

std::optional<std::string> SettingsFile::set(std::string_view section, std::string_view key, std::string_view value, int line) {
    const auto [first, fresh] = m_seen.emplace(std::pair{std::string(section), std::string(key)}, line);
    if (!fresh)
        return "set twice (first on line " + std::to_string(first->second) + ")" +
               (section.empty() ? std::string() : "; each listener needs a section of its own, e.g. [pjlink hall-left]");
    if (section.empty()) return setKey(m_s, key, value);
    if (auto why = begin(section, line)) return why;
    return setListenerKey(m_listeners.find(section)->second, key, value);
}

std::variant<BridgeSettings, std::string> SettingsFile::settings() const {
    BridgeSettings s = m_s;
    for (const auto& [section, line] : m_order) {
        const ListenerSpec& l = m_listeners.find(section)->second;
        if (l.where.port < 0) return std::to_string(line) + ": " + l.label + ": needs listen = HOST:PORT";
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
    overlay(s.maxPerAddress, line.maxPerAddress);
    overlay(s.limitLoopback, line.limitLoopback);
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
    auto tooMany = [](const SlotRules& r, const std::string& what) -> std::optional<std::string> {
        if (r.perAddress <= r.size) return std::nullopt;
        return what + ": max-per-address= " + std::to_string(r.perAddress) + " is more than its " +
               std::to_string(r.size) + " places";
    };
    for (const auto& l : s.listeners)
        if (auto why = tooMany(slotRulesOf(l, s), l.label)) return why;
    if (s.web.listen)
        if (auto why = tooMany(webSlotRules(s), "the web listener")) return why;
    return std::nullopt;
}

std::optional<HostPort> parseNotifyTarget(std::string_view text) {
    if (auto hp = parseHostPort(text)) return hp;
    if (text.size() > 2 && text.front() == '[' && text.back() == ']')
        return HostPort{std::string(text.substr(1, text.size() - 2)), kPjlinkPort};
    if (text.empty() || text.find(':') != std::string_view::npos) return std::nullopt;
    return HostPort{std::string(text), kPjlinkPort};
}

SlotRules slotRulesOf(const ListenerSpec& l, const BridgeSettings& s) {
    SlotRules r;
    r.size = l.maxClients.value_or(s.maxClients.value_or(l.kind == ClientKind::Pjlink ? kDefaultMaxPjlink : kDefaultMaxShared));
    r.perAddress = l.maxPerAddress.value_or(s.maxPerAddress.value_or(defaultPerAddress(r.size)));
    r.limitLoopback = s.limitLoopback.value_or(false);
    return r;
}

SlotRules webSlotRules(const BridgeSettings& s) {
    SlotRules r;
    r.size = s.web.maxClients.value_or(kDefaultMaxHttp);
    r.perAddress = s.web.maxPerAddress.value_or(defaultPerAddress(r.size));
    r.limitLoopback = s.limitLoopback.value_or(false);
    return r;
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
