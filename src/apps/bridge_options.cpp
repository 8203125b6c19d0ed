// SPDX-License-Identifier: MIT
#include "apps/bridge_options.hpp"

#include "bridge_qt/bridge_plan.hpp"

namespace tova {

BridgeCommandLine parseBridgeOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Owns a projector's serial line and serves it to many clients at once: as PJLink\n"
        "Class 2 devices (one listener per projector on the line), as a shared raw line for\n"
        "the panel and tova-send (tcp://HOST:PORT), and as a web remote with /metrics. One\n"
        "line goes out at a time; each reply goes to the client whose line it answers; clients\n"
        "take turns by their time on the line. When the device fails, PJLink requests are\n"
        "answered ERR4, shared-line clients are closed, and the device is opened again every\n"
        "2 s until it is back. SIGHUP reads the password files again and reopens the trace.\n"
        "\n"
        "Exit status: 0 after SIGINT or SIGTERM; 2 when a listener cannot be bound or its host\n"
        "name does not resolve (try again later); 64 for a usage error or a wrong setting. A\n"
        "device missing at start is not fatal: it is waited for."));
    const LineOptions lineOptions;
    QCommandLineOption config(QStringLiteral("config"),
                              QStringLiteral("Read the settings from <file> (INI: the line's keys, then one [pjlink NAME] "
                                             "or [share NAME] section per listener). An option given here wins over the "
                                             "file; a --pjlink or --share here replaces the file's listeners."),
                              QStringLiteral("file"));
    QCommandLineOption pjlink(QStringLiteral("pjlink"),
                              QStringLiteral("Serve a projector as a PJLink Class 2 device. <spec> is "
                                             "HOST:PORT[/ADDRESS][,name=TEXT][,inputs=LIST][,input-names=LIST][,serial=TEXT]"
                                             "[,version=TEXT][,lamp-model=TEXT][,filter-model=TEXT][,max-clients=N]: port "
                                             "4352 is PJLink's; /001 to /004 addresses the projector as the panel's PJ Select "
                                             "does, without it the lines go unaddressed. Given once per projector on the "
                                             "line."),
                              QStringLiteral("spec"));
    QCommandLineOption share(QStringLiteral("share"),
                             QStringLiteral("Serve the line raw on HOST:PORT[,max-clients=N], like a serial device "
                                            "server, for the panel and tova-send (tcp://HOST:PORT)."),
                             QStringLiteral("spec"));
    QCommandLineOption passwordFile(QStringLiteral("password-file"),
                                    QStringLiteral("PJLink password for every projector without its own: the file's first "
                                                   "line, up to 32 characters (a regular file of at most 4 KB)."),
                                    QStringLiteral("file"));
    QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Projector name for NAME ? (default TOVA M4)."),
                            QStringLiteral("text"));
    QCommandLineOption inputs(QStringLiteral("inputs"),
                              QStringLiteral("PJLink inputs of input modes 1 to 5 (default 11,12,13,14,15)."),
                              QStringLiteral("list"));
    QCommandLineOption maxClients(QStringLiteral("max-clients"),
                                  QStringLiteral("Connections each listener serves at once, unless it has its own "
                                                 "max-clients= (default 32 for PJLink, 8 for the shared line)."),
                                  QStringLiteral("n"));
    QCommandLineOption trace(QStringLiteral("trace"),
                             QStringLiteral("Append every line sent and received, with its time, to <file>."),
                             QStringLiteral("file"));
    QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Log every exchange on the line too."));
    QCommandLineOption poll(QStringLiteral("poll"),
                            QStringLiteral("Ask each PJLink projector its status every <seconds> (default 5; 0: never), "
                                           "for notifications; the line's clients always go first."),
                            QStringLiteral("seconds"));
    QCommandLineOption search(QStringLiteral("search"),
                              QStringLiteral("Answer PJLink's UDP search on HOST:PORT (a venue gives 0.0.0.0:4352); "
                                             "answers and notifications go to PORT on the controller's side. Off "
                                             "unless given."),
                              QStringLiteral("host:port"));
    QCommandLineOption notify(QStringLiteral("notify"),
                              QStringLiteral("Tell this controller of every change (UDP, port 4352 unless given); "
                                             "repeatable."),
                              QStringLiteral("host[:port]"));
    // The web listener's options are its configuration keys, checked by the same rules.
    struct WebOption {
        const char *key, *value, *help;
    };
    const WebOption webOptions[] = {
        {"http", "host:port", "Serve the web remote (the panel's buttons in any browser) and /metrics there."},
        {"http-name", "name",
         "A host name the web listener answers to besides its address (repeatable). Every request must name "
         "the listener so: the guard against DNS rebinding."},
        {"http-password-file", "file",
         "The web remote's password: the file's first line, 8 to 256 characters. Required unless the listener "
         "is on a loopback address."},
        {"http-cert", "file", "Serve HTTPS with this PEM certificate (chain)."},
        {"http-key", "file", "The unencrypted PEM private key of --http-cert."},
        {"http-max-clients", "n", "Connections the web listener serves at once (default 128)."},
        {"metrics-token-file", "file", "Prometheus's bearer token for /metrics: the file's first line, 16 to 256 characters."},
    };
    std::vector<QCommandLineOption> web;
    for (const auto& o : webOptions)
        web.emplace_back(QString::fromLatin1(o.key), QString::fromLatin1(o.help), QString::fromLatin1(o.value));
    QCommandLineOption metricsOpen(QStringLiteral("metrics-open"),
                                   QStringLiteral("Serve /metrics without a login or a token."));
    p.addOptions({config, lineOptions.device, lineOptions.speed, pjlink, share, passwordFile, name, inputs, maxClients,
                  trace, verbose, poll, search, notify});
    for (const auto& o : web) p.addOption(o);
    p.addOption(metricsOpen);
    BridgeCommandLine r;
    r.outcome = parseCommandLine(p, arguments);
    if (!r.outcome.goOn()) return r;
    auto usage = [&](const QString& text) {
        r.outcome = usageError(text);
        return r;
    };
    if (!p.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));

    bridge::BridgeSettings file, line;
    if (p.isSet(config)) {
        auto read = readSettingsFile(p.value(config));
        if (auto* failed = std::get_if<PlanFailure>(&read)) {
            r.outcome = {failed->exitCode, QStringLiteral("tova-bridge: %1\n").arg(failed->message)};
            return r;
        }
        file = std::get<bridge::BridgeSettings>(read);
    }
    if (p.isSet(lineOptions.device)) line.device = p.value(lineOptions.device).toStdString();
    if (p.isSet(lineOptions.speed)) {
        const QString baud = p.value(lineOptions.speed);
        if (baud != QLatin1String("19200") && baud != QLatin1String("9600")) return usage(QStringLiteral("--speed takes 19200 or 9600"));
        line.speed = baud.toInt();
    }
    if (p.isSet(trace)) line.trace = p.value(trace).toStdString();
    if (p.isSet(verbose)) line.verbose = true;
    if (p.isSet(passwordFile)) line.passwordFile = p.value(passwordFile).toStdString();
    if (p.isSet(name)) {
        line.name = p.value(name).toStdString();
        if (!bridge::validName(*line.name)) return usage(QStringLiteral("--name takes 1 to 64 characters"));
    }
    if (p.isSet(inputs)) {
        line.inputs = bridge::parseInputs(p.value(inputs).toStdString());
        if (!line.inputs) return usage(QStringLiteral("--inputs takes five PJLink inputs, such as 11,12,13,14,15"));
    }
    if (p.isSet(maxClients)) {
        bool ok = false;
        line.maxClients = p.value(maxClients).toInt(&ok);
        if (!ok || *line.maxClients < 1) return usage(QStringLiteral("--max-clients takes a number above 0"));
    }
    if (p.isSet(poll)) {
        bool ok = false;
        line.pollSeconds = p.value(poll).toInt(&ok);
        if (!ok || *line.pollSeconds < 0 || *line.pollSeconds > 3600)
            return usage(QStringLiteral("--poll takes seconds from 0 (no polling) to 3600"));
    }
    if (p.isSet(search)) {
        line.search = parseHostPort(p.value(search).toStdString());
        if (!line.search) return usage(QStringLiteral("--search takes HOST:PORT, e.g. 0.0.0.0:4352"));
    }
    for (const QString& target : p.values(notify)) {
        const auto t = bridge::parseNotifyTarget(target.toStdString());
        if (!t) return usage(QStringLiteral("--notify takes HOST[:PORT]: %1").arg(target));
        line.notify.push_back(*t);
    }
    const std::pair<const QCommandLineOption*, bridge::ClientKind> kinds[] = {{&pjlink, bridge::ClientKind::Pjlink},
                                                                               {&share, bridge::ClientKind::SharedLine}};
    for (const auto& [option, kind] : kinds)
        for (const QString& spec : p.values(*option)) {
            auto l = bridge::parseListenerSpec(spec.toStdString(), kind);
            if (auto* why = std::get_if<std::string>(&l))
                return usage(QStringLiteral("--%1 %2: %3").arg(option->names().first(), spec, QString::fromStdString(*why)));
            line.listeners.push_back(std::get<bridge::ListenerSpec>(l));
        }
    for (const auto& o : web)
        for (const QString& value : p.values(o))
            if (auto why = bridge::setWebKey(line.web, o.names().first().toStdString(), value.toStdString()))
                return usage(QStringLiteral("--%1: %2").arg(o.names().first(), QString::fromStdString(*why)));
    if (p.isSet(metricsOpen)) line.web.metricsOpen = true;
    r.settings = bridge::merge(file, line);
    if (const auto why = bridge::problem(r.settings)) return usage(QString::fromStdString(*why));
    return r;
}

} // namespace tova
