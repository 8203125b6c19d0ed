// SPDX-License-Identifier: MIT
#pragma once
// A listener as the bridge is told of it: its kind, its address, its limit, and for a PJLink
// listener the projector it serves. --pjlink and --share on the command line and the [pjlink
// NAME] and [share NAME] sections of the file set the same keys through the same checks.
#include "bridge/projector.hpp"
#include "core/host_port.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tova::bridge {

// A web page stays while the device is gone, as a PJLink client does: its tiles say so.
enum class ClientKind { Pjlink, SharedLine, WebPage };

// Connections a listener serves at once when no limit is given.
inline constexpr int kDefaultMaxPjlink = 32, kDefaultMaxShared = 8;

struct ListenerSpec {
    ClientKind kind = ClientKind::Pjlink;
    HostPort where;                 // the host may be a name, looked up at start
    std::string prefix;             // PJLink: the projector's address ("" or "A001".."A004")
    std::optional<std::string> name;
    std::optional<Inputs> inputs;
    std::optional<std::string> passwordFile;
    std::optional<int> maxClients;
    std::optional<int> maxPerAddress;
    std::optional<InputNames> inputNames; // INNM
    std::string serial, version, lampModel, filterModel;  // SNUM, SVER, RLMP, RFIL
    std::string label;              // how messages name it
};

// A listener's spec as --pjlink and --share take it: HOST:PORT, for PJLink /ADDRESS, and its other
// keys as ",key=value" (a value runs to the next comma that a key and "=" follow: a name may
// hold commas, but not ",word="); or what is wrong with it, naming an unknown key and the keys.
std::variant<ListenerSpec, std::string> parseListenerSpec(std::string_view text, ClientKind kind);

// The keys a listener of that kind takes in the configuration file.
std::vector<std::string_view> listenerKeys(ClientKind kind);

// Takes one key of a listener ("listen", "max-clients", and for PJLink "address", "name",
// "inputs", ...); what is wrong with its value, if anything.
std::optional<std::string> setListenerKey(ListenerSpec& l, std::string_view key, std::string_view value);

} // namespace tova::bridge
