// SPDX-License-Identifier: MIT
#include "bridge/listener.hpp"

#include "bridge/setting_values.hpp"
#include "link/address.hpp"

#include <algorithm>

namespace tova::bridge {

std::optional<std::string> setListenerKey(ListenerSpec& l, std::string_view key, std::string_view value) {
    const bool pjlink = l.kind == ClientKind::Pjlink;
    if (key == "listen") {
        const auto where = parseHostPort(value);
        if (!where) return std::string("listen= takes HOST:PORT, the port a number from 0 to 65535");
        l.where = *where;
    } else if (key == "max-clients") {
        l.maxClients = placesNumber(value);
        if (!l.maxClients) return "max-clients= " + std::string(kPlacesRule);
    } else if (key == "max-per-address") {
        l.maxPerAddress = perAddressNumber(value);
        if (!l.maxPerAddress) return "max-per-address= " + std::string(kPerAddressRule);
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
        if (!l.inputNames)
            return std::string("input-names= takes five names of printable UTF-8 (no control characters), such as "
                               "PC,Lectern,Video,Camera,Spare");
    } else if (pjlink && (key == "serial" || key == "version" || key == "lamp-model" || key == "filter-model")) {
        const bool printable = std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
        if (!printable || value.size() > 32) return std::string(key) + "= takes up to 32 printable characters";
        (key == "serial" ? l.serial : key == "version" ? l.version : key == "lamp-model" ? l.lampModel : l.filterModel) =
            std::string(value);
    } else if (pjlink && key == "password-file") {
        if (value.empty()) return std::string("password-file= takes a file");
        l.passwordFile = std::string(value);
    } else {
        std::string known;
        for (std::string_view k : listenerKeys(l.kind)) known += (known.empty() ? "" : ", ") + std::string(k);
        return "no setting " + std::string(key) + "= for a " + (pjlink ? "PJLink listener" : "shared line") + " (its keys: " +
               known + ")";
    }
    return std::nullopt;
}

std::vector<std::string_view> listenerKeys(ClientKind kind) {
    if (kind != ClientKind::Pjlink) return {"listen", "max-clients", "max-per-address"};
    return {"listen",      "address", "name",    "inputs",     "input-names",  "max-clients",
            "max-per-address", "serial", "version", "lamp-model", "filter-model", "password-file"};
}

namespace {
// Where a ",key=" starts in text: a comma, a word of letters and hyphens, and "=".
std::size_t nextKey(std::string_view text) {
    for (std::size_t at = text.find(','); at != std::string_view::npos; at = text.find(',', at + 1)) {
        std::size_t i = at + 1;
        while (i < text.size() && ((text[i] >= 'a' && text[i] <= 'z') || text[i] == '-')) ++i;
        if (i > at + 1 && i < text.size() && text[i] == '=') return at;
    }
    return std::string_view::npos;
}
} // namespace

std::variant<ListenerSpec, std::string> parseListenerSpec(std::string_view text, ClientKind kind) {
    ListenerSpec s;
    s.kind = kind;
    s.label = std::string(text);
    // The extras start with ",key="; a value runs to the next one (an inputs list may hold
    // commas itself, a name blanks and commas, but no comma before a word and "=").
    std::string_view rest;
    if (const std::size_t at = nextKey(text); at != std::string_view::npos) {
        rest = text.substr(at);
        text = text.substr(0, at);
    }
    if (const std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        if (kind != ClientKind::Pjlink) return std::string("the shared line takes no projector address");
        if (auto why = setListenerKey(s, "address", text.substr(slash + 1)))
            return std::string("the projector address is /001 to /004");
        text = text.substr(0, slash);
    }
    if (auto why = setListenerKey(s, "listen", text)) return std::string("HOST:PORT is needed, the port a number from 0 to 65535");
    while (!rest.empty()) {
        rest.remove_prefix(1); // the comma
        const std::size_t eq = rest.find('=');
        const std::string_view key = rest.substr(0, eq);
        rest.remove_prefix(eq + 1);
        const std::size_t next = nextKey(rest);
        const std::string_view value = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
        if (key == "listen" || key == "address")
            return std::string(key) + "= is written otherwise here: HOST:PORT/ADDRESS, first";
        if (auto why = setListenerKey(s, key, value)) return *why;
    }
    return s;
}

} // namespace tova::bridge
