// SPDX-License-Identifier: MIT
#pragma once
// The bridge's log on standard error, one line each with the time to the millisecond; under
// systemd, whose journal stamps each line itself (JOURNAL_STREAM names standard error), with
// its priority as sd-daemon(3) writes it ("<4>") and no time of its own. It never blocks: when
// standard error cannot take a line now, lines wait (up to a bound), and past the bound they are
// counted and dropped, and the count is logged when it can write again.
#include "bridge/log_priority.hpp"

#include <QString>

#include <functional>
#include <string>

namespace tova {

void logLine(const QString& text, bridge::Priority priority = bridge::Priority::Notice);

// Whether standard error is the journal: JOURNAL_STREAM names its device and inode.
bool toJournal();

// Qt's own warnings go to limited(kind, text) from now on, never straight to standard error: a
// flood of refused requests must not flood the log through Qt either. Debug output is dropped.
void routeQtMessages(std::function<void(const QString& kind, const QString& text)> limited);

} // namespace tova
