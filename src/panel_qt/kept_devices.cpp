// SPDX-License-Identifier: MIT
#include "panel_qt/kept_devices.hpp"

#include "qt/qt_serial_control.hpp"

namespace tova {
namespace {

std::string qtOption(const std::vector<std::string>& arguments, const std::string& name) {
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == "-" + name || arguments[i] == "--" + name) return arguments[i + 1];
    return {};
}

} // namespace

std::string KeptDevices::where() const {
#ifdef Q_OS_WIN
    return "the registry key " + m_settings.fileName().toStdString();
#else
    return "the settings file " + m_settings.fileName().toStdString();
#endif
}

std::optional<DeviceStore::Kept> KeptDevices::read() {
    // A settings file that cannot be read is left as it is, never rewritten.
    if (m_settings.status() != QSettings::NoError) return std::nullopt;
    Kept k;
    for (auto [key, slot] : {std::pair{"com1", &Kept::com1}, std::pair{"com2", &Kept::com2}})
        if (m_settings.contains(QLatin1String(key))) k.*slot = m_settings.value(QLatin1String(key)).toString().toStdString();
    return k;
}

bool KeptDevices::write(const Kept& given) {
    for (auto [key, slot] : {std::pair{"com1", &Kept::com1}, std::pair{"com2", &Kept::com2}})
        if (given.*slot) m_settings.setValue(QLatin1String(key), QString::fromStdString(*(given.*slot)));
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

PanelSystem qtPanelSystem() {
    PanelSystem s;
    s.com1Default = QtSerialControl::defaultDevice(1).toStdString();
    s.com2Default = QtSerialControl::defaultDevice(2).toStdString();
    s.windowSystemOptions = {"platform", "display", "style"}; // Qt's own, taken from the same command line
#ifdef Q_OS_WIN
    s.keptWhere = "HKEY_CURRENT_USER\\Software\\tova-control\\tova-control";
#else
    s.keptWhere = "~/.config/tova-control/tova-control.conf";
#endif
    return s;
}

std::string missingDisplay(const std::vector<std::string>& arguments) {
    QString platform = QString::fromStdString(qtOption(arguments, "platform"));
    if (platform.isEmpty()) platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    platform = platform.section(QLatin1Char(':'), 0, 0).section(QLatin1Char(';'), 0, 0);
    const bool x11 = platform.isEmpty() || platform == QLatin1String("xcb");
    const bool wayland = platform.isEmpty() || platform.startsWith(QLatin1String("wayland"));
    if (!x11 && !wayland) return {}; // offscreen, eglfs, linuxfb, vnc: no display server needed
    if (x11 && (!qEnvironmentVariableIsEmpty("DISPLAY") || !qtOption(arguments, "display").empty())) return {};
    if (wayland && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return {};
    return "no display: the panel is a window and needs one. Set DISPLAY (an X display) or WAYLAND_DISPLAY, or run it "
           "without a screen with QT_QPA_PLATFORM=offscreen.";
}

} // namespace tova
