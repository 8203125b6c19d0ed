// SPDX-License-Identifier: MIT
#include "bridge/web/web_settings.hpp"

#include "bridge/setting_values.hpp"

#include <algorithm>

namespace tova::bridge {
namespace {

// A host name as a Host header may carry it: letters, digits, dots and hyphens.
bool hostName(std::string_view n) {
    return !n.empty() && n.size() <= 253 &&
           std::all_of(n.begin(), n.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
           });
}

} // namespace

std::vector<std::string_view> commaSeparated(std::string_view list) {
    std::vector<std::string_view> out;
    for (;;) {
        const std::size_t comma = list.find(',');
        std::string_view one = list.substr(0, comma);
        while (!one.empty() && one.front() == ' ') one.remove_prefix(1);
        while (!one.empty() && one.back() == ' ') one.remove_suffix(1);
        out.push_back(one);
        if (comma == std::string_view::npos) return out;
        list.remove_prefix(comma + 1);
    }
}

std::optional<std::string> setWebKey(WebSettings& w, std::string_view key, std::string_view value) {
    auto file = [&](std::optional<std::string>& to) -> std::optional<std::string> {
        if (value.empty()) return std::string(key) + "= takes a file";
        to = std::string(value);
        return std::nullopt;
    };
    if (key == "http") {
        w.listen = parseHostPort(value);
        if (!w.listen) return std::string("http= takes HOST:PORT, e.g. 0.0.0.0:8080");
    } else if (key == "http-name") {
        for (std::string_view one : commaSeparated(value)) {
            if (!hostName(one)) return std::string("http-name= takes host names (letters, digits, dots, hyphens), comma-separated");
            w.names.emplace_back(one);
        }
    } else if (key == "http-password-file") {
        return file(w.passwordFile);
    } else if (key == "http-cert") {
        return file(w.cert);
    } else if (key == "http-key") {
        return file(w.key);
    } else if (key == "metrics-token-file") {
        return file(w.metricsTokenFile);
    } else if (key == "http-max-clients") {
        w.maxClients = placesNumber(value);
        if (!w.maxClients) return "http-max-clients= " + std::string(kPlacesRule);
    } else if (key == "http-max-per-address") {
        w.maxPerAddress = perAddressNumber(value);
        if (!w.maxPerAddress) return "http-max-per-address= " + std::string(kPerAddressRule);
    } else if (key == "metrics-open") {
        w.metricsOpen = onOff(value);
        if (!w.metricsOpen) return std::string("metrics-open= takes true or false");
    } else {
        return "no setting " + std::string(key) + "=";
    }
    return std::nullopt;
}

WebSettings mergeWeb(const WebSettings& file, const WebSettings& line) {
    WebSettings w = file;
    overlay(w.listen, line.listen);
    if (!line.names.empty()) w.names = line.names;
    overlay(w.passwordFile, line.passwordFile);
    overlay(w.cert, line.cert);
    overlay(w.key, line.key);
    overlay(w.maxClients, line.maxClients);
    overlay(w.maxPerAddress, line.maxPerAddress);
    overlay(w.metricsOpen, line.metricsOpen);
    overlay(w.metricsTokenFile, line.metricsTokenFile);
    return w;
}

std::optional<std::string> webProblem(const WebSettings& w) {
    const bool anyOther = !w.names.empty() || w.passwordFile || w.cert || w.key || w.maxClients || w.maxPerAddress || w.metricsOpen ||
                          w.metricsTokenFile;
    if (!w.listen && anyOther) return std::string("the web listener's settings need --http HOST:PORT");
    if (w.cert.has_value() != w.key.has_value()) return std::string("HTTPS needs both --http-cert and --http-key");
    return std::nullopt;
}

} // namespace tova::bridge
