// SPDX-License-Identifier: MIT
#pragma once
// tova-bridge's command line.
#include "bridge_qt/bridge_server.hpp"
#include "qt/command_line.hpp"

#include <QString>
#include <QStringList>

namespace tova {

struct BridgeCommandLine {
    QString device;
    QString trace;
    BridgeOptions bridge;
    CommandLineOutcome outcome;
    QString warning; // said once the log runs (a password file others can read)
};

BridgeCommandLine parseBridgeOptions(const QStringList& arguments);

} // namespace tova
