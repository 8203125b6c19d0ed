#include "qt/options.hpp"

#include "qt/qt_serial_control.hpp"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tova {

bool wantsHelpOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* o : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], o) == 0) return true;
    return false;
}

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
                                            "with its time to the millisecond, to <file>."),
                             QStringLiteral("file"));
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
    p.addOptions({com1, com2, save, trace, demo, shot, shotHeight});
    p.process(arguments);
    if (!p.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tova-control: unexpected argument '%s' (see --help)\n",
                     qPrintable(p.positionalArguments().first()));
        std::exit(2);
    }
    if (p.isSet(save) && p.isSet(demo)) {
        std::fprintf(stderr, "tova-control: --save keeps real devices; it cannot be used with --demo\n");
        std::exit(2);
    }

    QSettings kept(QStringLiteral("tova-control"), QStringLiteral("tova-control"));
    PanelOptions o;
    auto device = [&](const QCommandLineOption& opt, const QString& key, int port) {
        if (p.isSet(opt)) {
            if (p.isSet(save)) kept.setValue(key, p.value(opt));
            return p.value(opt);
        }
        return kept.value(key, QtSerialControl::defaultDevice(port)).toString();
    };
    o.com1 = device(com1, QStringLiteral("com1"), 1);
    o.com2 = device(com2, QStringLiteral("com2"), 2);
    if (p.isSet(save)) {
        kept.sync();
        if (kept.status() != QSettings::NoError) {
            std::fprintf(stderr, "tova-control: cannot save the devices to %s\n",
                         qPrintable(kept.fileName()));
            std::exit(1);
        }
        std::fprintf(stderr, "tova-control: devices kept in %s\n", qPrintable(kept.fileName()));
    }
    o.demo = p.isSet(demo);
    o.trace = p.value(trace);
    o.screenshot = p.value(shot);
    o.screenshotHeight = p.value(shotHeight).toInt();
    return o;
}

} // namespace tova
