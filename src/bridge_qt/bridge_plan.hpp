// SPDX-License-Identifier: MIT
#pragma once
// From what the bridge is told to what it serves: the configuration file read, host names looked
// up, password files read. Each failure says which setting, and with which exit status: a name
// that does not resolve (yet) is 2, so that a service manager tries again; a wrong setting is 64.
#include "bridge/core_plan.hpp"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QString>

#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace tova {

// The web listener's address, looked up, and its TLS settings, read.
struct WebPlan {
    QHostAddress address;
    quint16 port = 0;
    std::optional<QSslConfiguration> tls;
};

// A listener's address, looked up.
struct ListenerPlan {
    bridge::ListenerSpec spec;
    QHostAddress address;
};

// Everything the bridge serves, ready to bind: what the core serves, and where.
struct BridgePlan {
    bridge::CorePlan core;
    std::vector<ListenerPlan> listeners;                   // in the core's order
    std::optional<std::pair<QHostAddress, quint16>> search; // the UDP socket for PJLink's search
    std::optional<WebPlan> web;                             // the web remote and /metrics
};

struct PlanFailure {
    int exitCode;
    QString message;
};

// The configuration file's settings; a mistake names its line.
std::variant<bridge::BridgeSettings, PlanFailure> readSettingsFile(const QString& path);

// What the bridge serves. info: what INFO ? answers.
std::variant<BridgePlan, PlanFailure> planBridge(const bridge::BridgeSettings& s, const std::string& info);

// Every PJLink listener's password read again from its file, in listener order; nullopt keeps
// the password in force (no file, or a file that cannot be read: problems says why).
std::vector<std::optional<std::string>> rereadPasswords(const bridge::BridgeSettings& s, std::vector<QString>& problems);

// The web remote's password read again; nullopt keeps the one in force.
std::optional<std::string> rereadWebPassword(const bridge::BridgeSettings& s, std::vector<QString>& problems);

// What the system allows the process: open files, and memory (its cgroup's limit, as a
// service's MemoryMax= sets it), -1 for no limit.
struct SystemLimits {
    long files = -1;
    long long memoryBytes = -1;
};
// The memory limit of the cgroup this process runs in (cgroup v2's memory.max, or v1's
// memory.limit_in_bytes); -1 for none.
long long memoryLimit();

// What the log says at start: password files others can read, more clients allowed than
// descriptors, and more than the memory limit could hold with every place taken.
std::vector<QString> startUpWarnings(const bridge::BridgeSettings& s, const BridgePlan& plan, SystemLimits limits);

} // namespace tova
