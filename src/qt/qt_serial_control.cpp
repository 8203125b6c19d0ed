// SPDX-License-Identifier: MIT
#include "qt/qt_serial_control.hpp"

#include <QTimer>

namespace tova {

QtSerialControl::QtSerialControl(const QString& com1, const QString& com2)
    : LinkSerialControl([this](const std::string& device) { return makeTransport(QString::fromStdString(device), consoles); },
                        com1.toStdString(), com2.toStdString(),
                        [](std::function<void()> f) { QTimer::singleShot(0, std::move(f)); }) {}

QString QtSerialControl::defaultDevice(int port) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    // USB adapters: the built-in first port is often the system console.
    return QStringLiteral("/dev/ttyUSB%1").arg(port - 1);
#endif
}

} // namespace tova
