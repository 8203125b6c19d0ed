// SPDX-License-Identifier: MIT
#include "apps/sim_options.hpp"

#include <QHostAddress>

namespace tova {

SimOptions parseSimOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A virtual projector on a pseudo-terminal (or a TCP port with --listen). Prints the\n"
        "device to give the panel as --com1 (or tova-send as --device), logs every line\n"
        "received and every reply to standard error, and runs until stopped (Ctrl+C)."));
    QCommandLineOption speed(QStringLiteral("speed"),
                             QStringLiteral("Line speed of the projector: 19200 (default) or 9600. "
                                            "A panel at the other speed sees noise."),
                             QStringLiteral("baud"), QStringLiteral("19200"));
    QCommandLineOption count(QStringLiteral("projectors"),
                             QStringLiteral("Projectors on the line, 1 to 4 (default 1); each "
                                            "answers its address A001 to A004."),
                             QStringLiteral("n"), QStringLiteral("1"));
    QCommandLineOption fast(QStringLiteral("fast"),
                            QStringLiteral("Power on in 3 s and cool down in 4 s instead of 30 s "
                                           "and 60 s; input changes take 0.5 s instead of 2 s."));
    QCommandLineOption listen(QStringLiteral("listen"),
                              QStringLiteral("Serve the projector over raw TCP on <host:port> "
                                             "(like a serial device server) instead of a "
                                             "pseudo-terminal; port 0 picks a free one. An IPv6 "
                                             "host is written in brackets: [::1]:0."),
                              QStringLiteral("host:port"));
    QCommandLineOption link(QStringLiteral("link"),
                            QStringLiteral("Also make <path> a symbolic link to the device. Only a "
                                           "symbolic link already there is replaced."),
                            QStringLiteral("path"));
    p.addOptions({speed, count, fast, listen, link});
    SimOptions r;
    r.outcome = parseCommandLine(p, arguments);
    if (!r.outcome.goOn()) return r;
    auto usage = [&](const char* text) {
        r.outcome = usageError(QString::fromLatin1(text));
        return r;
    };
    r.line.baud = p.value(speed).toInt();
    r.line.projectors = p.value(count).toInt();
    if (r.line.baud != 19200 && r.line.baud != 9600) return usage("--speed takes 19200 or 9600");
    if (r.line.projectors < 1 || r.line.projectors > 4) return usage("--projectors takes 1 to 4");
    if (p.isSet(fast)) r.line.timings = sim::fastTimings();
    if (p.isSet(link) && p.isSet(listen)) return usage("--link needs a pseudo-terminal, not --listen");
    if (p.isSet(listen)) {
        r.listen = parseHostPort(p.value(listen).toStdString());
        if (!r.listen || QHostAddress(QString::fromStdString(r.listen->host)).isNull()) return usage("--listen takes HOST:PORT, e.g. 127.0.0.1:4001 or [::1]:4001");
    }
    r.link = p.value(link);
    return r;
}

} // namespace tova
