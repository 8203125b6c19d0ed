// SPDX-License-Identifier: MIT
#include "panel_qt/qt_platform.hpp"

#include <QStyleFactory>

#include <cstdio>

namespace tova {

void QtPlatform::notice(const std::string& text) { std::fputs(text.c_str(), stderr); }

void QtPlatform::startWindowing() {
    m_app = std::make_unique<QApplication>(m_argc, m_argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
}

SerialControl& QtPlatform::serialControl(const std::string& com1, const std::string& com2) {
    m_port = std::make_unique<QtSerialControl>(QString::fromStdString(com1), QString::fromStdString(com2));
    return *m_port;
}

Window& QtPlatform::window() {
    m_window = std::make_unique<QtWindow>();
    return m_window->surface();
}

void QtPlatform::screenshotLater(const std::string& file, int heightTwips) {
    m_window->screenshotLater(QString::fromStdString(file), heightTwips);
}

} // namespace tova
