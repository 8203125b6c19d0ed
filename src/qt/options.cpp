#include "qt/options.hpp"

#include "qt/qt_serial_control.hpp"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>

#include <cstdio>
#include <cstring>

namespace tova {

bool wantsHelpOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* o : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], o) == 0) return true;
    return false;
}

ParsedOptions parsePanelOptions(const QStringList& arguments) {
    QCommandLineParser p;
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
    const QCommandLineOption help = p.addHelpOption();
    const QCommandLineOption version = p.addVersionOption();
    p.addOptions({com1, com2, save, trace, demo, shot, shotHeight});
    ParsedOptions r;
    auto usage = [&](const QString& text) {
        r.exitCode = 2;
        r.message = QStringLiteral("tova-control: %1 (see --help)\n").arg(text);
        return r;
    };
    if (!p.parse(arguments)) return usage(p.errorText());
    if (p.isSet(help) || p.isSet(version)) {
        r.exitCode = 0;
        r.toStdout = true;
        r.message = p.isSet(help) ? p.helpText()
                                  : QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                                  QCoreApplication::applicationVersion());
        return r;
    }
    if (!p.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));
    if (p.isSet(save) && p.isSet(demo))
        return usage(QStringLiteral("--save keeps real devices; it cannot be used with --demo"));

    QSettings kept(QStringLiteral("tova-control"), QStringLiteral("tova-control"));
    PanelOptions& o = r.options;
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
            r.exitCode = 1;
            r.message = QStringLiteral("tova-control: cannot save the devices to %1\n").arg(kept.fileName());
            return r;
        }
        std::fprintf(stderr, "tova-control: devices kept in %s\n", qPrintable(kept.fileName()));
    }
    o.demo = p.isSet(demo);
    o.trace = p.value(trace);
    o.screenshot = p.value(shot);
    o.screenshotHeight = p.value(shotHeight).toInt();
    return r;
}

} // namespace tova
