// SPDX-License-Identifier: MIT
#pragma once
#include <QString>

namespace tova {

// One line of the bridge's log on standard error, with the time to the millisecond.
void logLine(const QString& text);

} // namespace tova
