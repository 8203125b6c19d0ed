// SPDX-License-Identifier: MIT
#pragma once
// The bridge's log on standard error, one line each with the time to the millisecond. It never
// blocks: when standard error cannot take a line now, lines wait (up to a bound), and past the
// bound they are counted and dropped, and the count is logged when it can write again.
#include <QString>

#include <functional>

namespace tova {

void logLine(const QString& text);

// Qt's own warnings go to limited(kind, text) from now on, never straight to standard error: a
// flood of refused requests must not flood the log through Qt either. Debug output is dropped.
void routeQtMessages(std::function<void(const QString& kind, const QString& text)> limited);

} // namespace tova
