// SPDX-License-Identifier: MIT
#pragma once
// tova-sim's command line.
#include "core/host_port.hpp"
#include "qt/command_line.hpp"
#include "sim/projector.hpp"

#include <QString>
#include <QStringList>

#include <optional>

namespace tova {

struct SimOptions {
    sim::ProjectorLine::Options line;
    std::optional<HostPort> listen; // raw TCP instead of a pseudo-terminal
    QString link;                   // a symbolic link to the device
    CommandLineOutcome outcome;
};

SimOptions parseSimOptions(const QStringList& arguments);

} // namespace tova
