// SPDX-License-Identifier: MIT
#include "bridge_qt/bridge_log.hpp"

#include <QDateTime>

#include <cstdio>

namespace tova {

void logLine(const QString& text) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    std::fprintf(stderr, "%s tova-bridge: %s\n", qPrintable(stamp), qPrintable(text));
}

} // namespace tova
