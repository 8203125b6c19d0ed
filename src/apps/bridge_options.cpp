// SPDX-License-Identifier: MIT
#include "apps/bridge_options.hpp"

#include <QCoreApplication>
#include <QFile>

#include <sys/stat.h>

namespace tova {

BridgeCommandLine parseBridgeOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Owns a projector's serial line and serves it to many clients at once: as PJLink\n"
        "Class 1 devices (one listener per projector on the line) and as a shared raw line for\n"
        "the panel and tova-send (tcp://HOST:PORT). One line goes out at a time; each reply goes\n"
        "to the client whose line it answers; clients take turns. When the device fails, PJLink\n"
        "requests are answered ERR4, shared-line clients are closed, and the device is opened\n"
        "again every 2 s until it is back.\n"
        "\n"
        "Exit status: 0 after SIGINT or SIGTERM, 2 when a listener cannot be bound, 64 for a\n"
        "usage error. A device missing at start is not fatal: it is waited for."));
    const LineOptions lineOptions;
    QCommandLineOption pjlink(QStringLiteral("pjlink"),
                              QStringLiteral("Serve a projector as a PJLink Class 1 device. <spec> is "
                                             "HOST:PORT[/ADDRESS][,name=TEXT][,inputs=LIST]: port 4352 is PJLink's; "
                                             "/001 to /004 addresses the projector as the panel's PJ Select does, "
                                             "without it the lines go unaddressed; name= and inputs= set its own. "
                                             "Given once per projector on the line."),
                              QStringLiteral("spec"));
    QCommandLineOption share(QStringLiteral("share"),
                             QStringLiteral("Serve the line raw on HOST:PORT, like a serial device server, for the "
                                            "panel and tova-send (tcp://HOST:PORT)."),
                             QStringLiteral("host:port"));
    QCommandLineOption passwordFile(QStringLiteral("password-file"),
                                    QStringLiteral("PJLink password (its first line, up to 32 characters) for every "
                                                   "projector; without it PJLink needs none."),
                                    QStringLiteral("file"));
    QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Projector name for NAME ? (default TOVA M4)."),
                            QStringLiteral("text"));
    QCommandLineOption inputs(QStringLiteral("inputs"),
                              QStringLiteral("PJLink inputs of input modes 1 to 5 (default 11,12,13,14,15)."),
                              QStringLiteral("list"));
    QCommandLineOption maxClients(QStringLiteral("max-clients"),
                                  QStringLiteral("Connections served at once, all listeners together (default 32)."),
                                  QStringLiteral("n"), QStringLiteral("32"));
    QCommandLineOption trace(QStringLiteral("trace"),
                             QStringLiteral("Append every line sent and received, with its time, to <file>."),
                             QStringLiteral("file"));
    QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Log every exchange on the line too."));
    p.addOptions({lineOptions.device, lineOptions.speed, pjlink, share, passwordFile, name, inputs, maxClients, trace,
                  verbose});
    BridgeCommandLine r;
    r.outcome = parseCommandLine(p, arguments);
    if (!r.outcome.goOn()) return r;
    auto usage = [&](const QString& text) {
        r.outcome = usageError(text);
        return r;
    };
    if (!p.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));
    const auto settings = lineOptions.settings(p);
    if (auto* wrong = std::get_if<CommandLineOutcome>(&settings)) {
        r.outcome = *wrong;
        return r;
    }
    if (!p.isSet(pjlink) && !p.isSet(share)) return usage(QStringLiteral("give --pjlink or --share, or both"));

    BridgeOptions& o = r.bridge;
    r.device = p.value(lineOptions.device);
    r.trace = p.value(trace);
    o.verbose = p.isSet(verbose);
    o.settings = std::get<LineSettings>(settings);
    bool ok = false;
    o.maxClients = p.value(maxClients).toInt(&ok);
    if (!ok || o.maxClients < 1) return usage(QStringLiteral("--max-clients takes a number above 0"));
    if (p.isSet(name)) {
        o.defaults.name = p.value(name).toStdString();
        if (!bridge::validName(o.defaults.name)) return usage(QStringLiteral("--name takes 1 to 64 characters"));
    }
    if (p.isSet(inputs)) {
        auto in = bridge::parseInputs(p.value(inputs).toStdString());
        if (!in) return usage(QStringLiteral("--inputs takes five PJLink inputs, such as 11,12,13,14,15"));
        o.defaults.inputs = *in;
    }
    o.defaults.info = "tova-bridge " + QCoreApplication::applicationVersion().toStdString();
    for (const QString& spec : p.values(pjlink)) {
        auto l = bridge::parseListenerOption(spec.toStdString(), true);
        if (auto* why = std::get_if<std::string>(&l))
            return usage(QStringLiteral("--pjlink %1: %2").arg(spec, QString::fromStdString(*why)));
        o.pjlink.push_back(std::get<bridge::ListenerOption>(l));
    }
    if (p.isSet(share)) {
        auto l = bridge::parseListenerOption(p.value(share).toStdString(), false);
        if (auto* why = std::get_if<std::string>(&l))
            return usage(QStringLiteral("--share %1: %2").arg(p.value(share), QString::fromStdString(*why)));
        o.share = std::get<bridge::ListenerOption>(l);
    }
    if (p.isSet(passwordFile)) {
        // Read from a file, never from the command line, where every user could see it.
        const QString path = p.value(passwordFile);
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return usage(QStringLiteral("--password-file %1: %2").arg(path, f.errorString()));
        const QByteArray password = f.readLine().trimmed();
        if (password.isEmpty() || password.size() > 32)
            return usage(QStringLiteral("--password-file %1: its first line is the password, 1 to 32 characters").arg(path));
        o.defaults.password = password.toStdString();
        struct stat st {};
        if (::stat(path.toLocal8Bit().constData(), &st) == 0 && (st.st_mode & S_IROTH))
            r.warning = QStringLiteral("warning: %1 is readable by every user of this computer (chmod o-r %1)").arg(path);
    }
    return r;
}

} // namespace tova
