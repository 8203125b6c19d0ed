// SPDX-License-Identifier: MIT
#pragma once
// tova-bridge's command line, laid over its configuration file.
#include "bridge/bridge_settings.hpp"
#include "qt/command_line.hpp"

#include <QString>
#include <QStringList>

namespace tova {

struct BridgeCommandLine {
    bridge::BridgeSettings settings; // the file's, with the command line's over them
    CommandLineOutcome outcome;
};

BridgeCommandLine parseBridgeOptions(const QStringList& arguments);

} // namespace tova
