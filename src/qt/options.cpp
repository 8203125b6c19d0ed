#include "qt/options.hpp"

#include "qt/qt_serial_control.hpp"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace tova {

PanelOptions parsePanelOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Operator panel for video projectors controlled by text commands over RS-232C.\n"
        "Each button sends one command line on COM1 or COM2; replies to the status queries\n"
        "are shown in plain words. Ctrl+K, then a double-click on the picture, opens the\n"
        "service view with the traffic, the address choice and a free-text command box."));
    p.addHelpOption();
    p.addVersionOption();
    QCommandLineOption com1(QStringLiteral("com1"),
                            QStringLiteral("Device behind COM1 (default %1).")
                                .arg(QtSerialControl::defaultDevice(1)),
                            QStringLiteral("path"));
    QCommandLineOption com2(QStringLiteral("com2"),
                            QStringLiteral("Device behind COM2 (default %1).")
                                .arg(QtSerialControl::defaultDevice(2)),
                            QStringLiteral("path"));
    QCommandLineOption demo(QStringLiteral("demo"),
                            QStringLiteral("Run on two virtual projectors, one on each port, on "
                                           "pseudo-terminals; no real device is touched. "
                                           "--com1 and --com2 are ignored."));
    QCommandLineOption shot(QStringLiteral("screenshot"),
                            QStringLiteral("Save a PNG picture of the window to <file> once it "
                                           "is shown, then keep running."),
                            QStringLiteral("file"));
    QCommandLineOption shotHeight(QStringLiteral("screenshot-height"),
                                  QStringLiteral("Set the window to <twips> (5350, 6645, 7200 or "
                                                 "9100) before the screenshot."),
                                  QStringLiteral("twips"));
    p.addOptions({com1, com2, demo, shot, shotHeight});
    p.process(arguments);
    if (!p.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tova-control: unexpected argument '%s' (see --help)\n",
                     qPrintable(p.positionalArguments().first()));
        std::exit(2);
    }
    PanelOptions o;
    o.com1 = p.isSet(com1) ? p.value(com1) : QtSerialControl::defaultDevice(1);
    o.com2 = p.isSet(com2) ? p.value(com2) : QtSerialControl::defaultDevice(2);
    o.demo = p.isSet(demo);
    o.screenshot = p.value(shot);
    o.screenshotHeight = p.value(shotHeight).toInt();
    return o;
}

} // namespace tova
