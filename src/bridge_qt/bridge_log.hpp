// SPDX-License-Identifier: MIT
#pragma once
// The bridge's log on standard error, one line each with the time to the millisecond. It never
// blocks: when standard error cannot take a line now, lines wait (up to a bound), and past the
// bound they are counted and dropped, and the count is logged when it can write again.
#include <QString>

namespace tova {

void logLine(const QString& text);

} // namespace tova
