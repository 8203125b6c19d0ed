// SPDX-License-Identifier: MIT
#pragma once
// What the bridge is told to do, from its configuration file or its command line: the line,
// the listeners (each with its own address, name, inputs, password file and limit) and the
// defaults they share. The file is read key by key; the command line is laid over it.
#include "bridge/listener.hpp"
#include "bridge/listener_slots.hpp"
#include "bridge/web/web_settings.hpp"
#include "core/host_port.hpp"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <array>
#include <string_view>
#include <variant>
#include <vector>

namespace tova::bridge {

struct BridgeSettings {
    std::optional<std::string> device;
    std::optional<int> speed;
    std::optional<std::string> trace;
    std::optional<bool> verbose;
    std::optional<std::string> passwordFile; // every PJLink listener's, unless it has its own
    std::optional<std::string> name;
    std::optional<Inputs> inputs;
    std::optional<int> maxClients;           // every listener's, unless it has its own
    std::optional<int> maxPerAddress;        // the same
    std::optional<bool> limitLoopback;       // loopback peers held to max-per-address too
    std::optional<int> pollSeconds;          // the background poller's period; 0: none
    std::optional<HostPort> search;          // the UDP socket for PJLink's search
    std::vector<HostPort> notify;            // controllers told of every change
    std::vector<ListenerSpec> listeners;
    WebSettings web;                         // the web remote and /metrics
};

// PJLink's UDP port, where a controller hears answers and notifications unless told otherwise.
inline constexpr int kPjlinkPort = 4352;
inline constexpr int kDefaultPollSeconds = 5;

// HOST or HOST:PORT (an IPv6 host in brackets), the port PJLink's when none is given.
std::optional<HostPort> parseNotifyTarget(std::string_view text);

// One setting of the line, of every listener's defaults or of the web listener: a key at the top
// of the configuration file and an option of the command line alike, checked the same way.
struct SettingKey {
    std::string_view key;   // "speed": speed= in the file, --speed on the command line
    std::string_view value; // as help names the value; empty: true or false (a flag on the command line)
    std::string_view help;
};
std::vector<SettingKey> settingKeys();
// Takes one such key; what is wrong with its value ("speed= takes 19200 or 9600"), if anything.
std::optional<std::string> setKey(BridgeSettings& s, std::string_view key, std::string_view value);

// The configuration file, one key after the other as it is read. Keys outside any section are
// the line's and the defaults; each [pjlink LABEL] or [share LABEL] section is one listener.
class SettingsFile {
  public:
    // A section starts (on that line); what is wrong with its name, if anything.
    std::optional<std::string> begin(std::string_view section, int line = 0);
    // Takes one key (given on that line); what is wrong with it, if anything, and what is allowed.
    std::optional<std::string> set(std::string_view section, std::string_view key, std::string_view value, int line = 0);
    // The settings read; what is wrong with a listener section as a whole ("LINE: [section]: ..."),
    // if anything.
    std::variant<BridgeSettings, std::string> settings() const;

  private:
    BridgeSettings m_s;
    std::map<std::string, ListenerSpec, std::less<>> m_listeners; // by section
    std::vector<std::pair<std::string, int>> m_order;              // sections as they came, and their lines
    std::map<std::pair<std::string, std::string>, int, std::less<>> m_seen; // keys given, per section: their lines
};

// The command line over the file: a setting given on the command line wins, and any listener on
// the command line replaces the file's listeners.
BridgeSettings merge(const BridgeSettings& file, const BridgeSettings& commandLine);

// What makes the settings unusable, checked before anything is bound: no device or an empty
// one, no listener, the same listener twice, a web setting without the web listener.
std::optional<std::string> problem(const BridgeSettings& s);

// A PJLink listener's projector: the defaults of every projector with the listener's own
// settings over them (the password is read from its file by the caller).
ProjectorConfig projectorConfig(const BridgeSettings& s, const ListenerSpec& own);

// The places of a listener: its own limits, else the defaults given, else the kind's.
SlotRules slotRulesOf(const ListenerSpec& l, const BridgeSettings& s);
// The web listener's.
SlotRules webSlotRules(const BridgeSettings& s);

// How long a secret read from a file may be: PJLink's password is short by the protocol; the
// web remote's password and the metrics token cross a network and are longer.
struct SecretLength {
    std::size_t min, max;
};
inline constexpr SecretLength kPjlinkPassword{1, 32}, kWebPassword{8, 256}, kMetricsToken{16, 256};

// A secret as its file holds it: the first line, its line end taken off, spaces kept as
// written; or what is wrong with it.
std::variant<std::string, std::string> passwordFromFile(std::string_view content, SecretLength length = kPjlinkPassword);
inline constexpr std::size_t kMaxPasswordFile = 4096;

} // namespace tova::bridge
