// SPDX-License-Identifier: MIT
#pragma once
// tova-send's command line.
#include "core/settings.hpp"
#include "qt/command_line.hpp"
#include "send/send_run.hpp"

#include <QString>
#include <QStringList>

namespace tova {

struct SendOptions {
    QString device;
    LineSettings settings;
    send::Options run;
    CommandLineOutcome outcome; // go on, or end as it says (help, --list, a usage error)
};

SendOptions parseSendOptions(const QStringList& arguments);

} // namespace tova
