// SPDX-License-Identifier: MIT
#pragma once
#include <QCoreApplication>

namespace tova {

// The program's name and the project's version, for --help, --version and the settings.
inline void setProgramNames(const char* name) {
    QCoreApplication::setApplicationName(QString::fromLatin1(name));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVA_VERSION));
}

} // namespace tova
