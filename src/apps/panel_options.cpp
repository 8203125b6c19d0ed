// SPDX-License-Identifier: MIT
#include "apps/panel_options.hpp"

#include "tables/timings.hpp"
#include "qt/qt_serial_control.hpp"

#include <QSettings>

#include <algorithm>
#include <array>

namespace tova {
namespace {

// Qt's own options, which the application object takes from the same command line.
const QStringList kQtOptions{QStringLiteral("platform"), QStringLiteral("display"), QStringLiteral("style")};

QString qtOption(const QStringList& arguments, const QString& name) {
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i)
        if (arguments[i] == QLatin1Char('-') + name || arguments[i] == QStringLiteral("--") + name)
            return arguments[i + 1];
    return {};
}

} // namespace

ParsedOptions parsePanelOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions); // -platform as Qt has it
    p.setApplicationDescription(QStringLiteral(
        "Operator panel for video projectors controlled by text commands over RS-232C.\n"
        "Each button sends one command line on COM1 or COM2; replies to the status queries\n"
        "are shown in plain words. Ctrl+K, then a double-click on the picture, opens the\n"
        "service view with the traffic, the address choice and a free-text command box."));
    QCommandLineOption com1(QStringLiteral("com1"),
                            QStringLiteral("Device behind COM1 (default %1), or tcp://HOST:PORT "
                                           "for a serial device server in raw TCP mode.")
                                .arg(QtSerialControl::defaultDevice(1)),
                            QStringLiteral("path"));
    QCommandLineOption com2(QStringLiteral("com2"),
                            QStringLiteral("Device behind COM2 (default %1), or tcp://HOST:PORT.")
                                .arg(QtSerialControl::defaultDevice(2)),
                            QStringLiteral("path"));
    QCommandLineOption save(QStringLiteral("save"),
                            QStringLiteral("Keep the --com1 and --com2 given in your settings; "
                                           "later starts use them unless the command line names "
                                           "another."));
    QCommandLineOption trace(QStringLiteral("trace"),
                             QStringLiteral("Append every line sent and every piece received, "
                                            "with its time to the millisecond, to <file> (a "
                                            "regular file)."),
                             QStringLiteral("file"));
    QCommandLineOption demo(QStringLiteral("demo"),
                            QStringLiteral("Run on two virtual projectors, one on each port, on "
                                           "pseudo-terminals (on Windows, loopback TCP ports); no "
                                           "real device is touched. "
                                           "--com1 and --com2 are ignored."));
    QCommandLineOption shot(QStringLiteral("screenshot"),
                            QStringLiteral("Save a PNG picture of the window to <file> once it "
                                           "is shown, then keep running."),
                            QStringLiteral("file"));
    QCommandLineOption shotHeight(QStringLiteral("screenshot-height"),
                                  QStringLiteral("Set the window to <twips> (5350, 6645, 7200 or "
                                                 "9100) before the screenshot."),
                                  QStringLiteral("twips"));
    p.addOptions({com1, com2, save, trace, demo, shot, shotHeight});
    for (const QString& name : kQtOptions) {
        QCommandLineOption qt(name, QString(), QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        p.addOption(qt);
    }

    ParsedOptions r;
    r.outcome = parseCommandLine(p, arguments);
    if (!r.outcome.goOn()) return r;
    auto usage = [&](const QString& text) {
        r.outcome = usageError(text);
        return r;
    };
    if (!p.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));
    if (p.isSet(save) && p.isSet(demo))
        return usage(QStringLiteral("--save keeps real devices; it cannot be used with --demo"));
    if (p.isSet(save) && !p.isSet(com1) && !p.isSet(com2))
        return usage(QStringLiteral("--save keeps the --com1 and --com2 given, and none is: nothing to keep"));
    PanelOptions& o = r.options;
    if (p.isSet(shotHeight)) {
        const std::array heights{kCompactHeight, kDataHeight, kServiceHeight, kFullHeight};
        bool ok = false;
        o.screenshotHeight = p.value(shotHeight).toInt(&ok);
        if (!ok || std::find(heights.begin(), heights.end(), o.screenshotHeight) == heights.end())
            return usage(QStringLiteral("--screenshot-height takes 5350, 6645, 7200 or 9100"));
    }

    QSettings kept(QStringLiteral("tova-control"), QStringLiteral("tova-control"));
    // A settings file that cannot be read is reported and left as it is, never rewritten.
    const bool readable = kept.status() == QSettings::NoError;
    if (!readable) {
        const QString why = QStringLiteral("tova-control: the settings file %1 cannot be read; it "
                                           "is left as it is and its devices are not used\n")
                                .arg(kept.fileName());
        if (p.isSet(save)) {
            r.outcome = {1, why + QStringLiteral("tova-control: --save kept nothing\n")};
            return r;
        }
        r.notice += why;
    }
    auto device = [&](const QCommandLineOption& opt, const QString& key, int port) {
        if (p.isSet(opt)) {
            if (p.isSet(save)) kept.setValue(key, p.value(opt));
            return p.value(opt);
        }
        const QString fallback = QtSerialControl::defaultDevice(port);
        return readable ? kept.value(key, fallback).toString() : fallback;
    };
    o.com1 = device(com1, QStringLiteral("com1"), 1);
    o.com2 = device(com2, QStringLiteral("com2"), 2);
    if (p.isSet(save)) {
        kept.sync();
        if (kept.status() != QSettings::NoError) {
            r.outcome = {1, QStringLiteral("tova-control: cannot save the devices to %1\n").arg(kept.fileName())};
            return r;
        }
        QStringList what;
        if (p.isSet(com1)) what << QStringLiteral("COM1 %1").arg(o.com1);
        if (p.isSet(com2)) what << QStringLiteral("COM2 %1").arg(o.com2);
        r.notice += QStringLiteral("tova-control: kept %1 in %2\n").arg(what.join(QStringLiteral(" and ")), kept.fileName());
    }
    o.demo = p.isSet(demo);
    o.trace = p.value(trace);
    o.screenshot = p.value(shot);
    return r;
}

QString missingDisplay(const QStringList& arguments) {
    QString platform = qtOption(arguments, QStringLiteral("platform"));
    if (platform.isEmpty()) platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    platform = platform.section(QLatin1Char(':'), 0, 0).section(QLatin1Char(';'), 0, 0);
    const bool x11 = platform.isEmpty() || platform == QLatin1String("xcb");
    const bool wayland = platform.isEmpty() || platform.startsWith(QLatin1String("wayland"));
    if (!x11 && !wayland) return {}; // offscreen, eglfs, linuxfb, vnc: no display server needed
    if (x11 && (!qEnvironmentVariableIsEmpty("DISPLAY") || !qtOption(arguments, QStringLiteral("display")).isEmpty()))
        return {};
    if (wayland && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return {};
    return QStringLiteral("no display: the panel is a window and needs one. Set DISPLAY (an X "
                          "display) or WAYLAND_DISPLAY, or run it without a screen with "
                          "QT_QPA_PLATFORM=offscreen.");
}

} // namespace tova
