// SPDX-License-Identifier: MIT
#pragma once

#include <QRandomGenerator>
#include <QString>

#include <string>

namespace tova {

// Hexadecimal digits from the system's random source: PJLink's digests and the web's session ids.
inline std::string randomHex(std::size_t digits) {
    std::string out;
    while (out.size() < digits)
        out += QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0')).toStdString();
    return out.substr(0, digits);
}

} // namespace tova
