// tova-sim: a virtual projector on a pseudo-terminal, for work without the real set.
#include "qt/program_names.hpp"
#include "sim_qt/projector_endpoint.hpp"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
QString g_link;
int g_signalPipe[2] = {-1, -1};
void onSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1); // only this is safe in a handler
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    tova::setProgramNames("tova-sim");
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A virtual projector on a pseudo-terminal (or a TCP port with --listen). Prints the\n"
        "device to give the panel as --com1 (or tova-send as --device), logs every line\n"
        "received and every reply to standard error, and runs until stopped (Ctrl+C)."));
    p.addHelpOption();
    p.addVersionOption();
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
                                             "pseudo-terminal; port 0 picks a free one."),
                              QStringLiteral("host:port"));
    QCommandLineOption link(QStringLiteral("link"),
                            QStringLiteral("Also make <path> a symbolic link to the device."),
                            QStringLiteral("path"));
    p.addOptions({speed, count, fast, listen, link});
    p.process(app);

    tova::sim::ProjectorLine::Options o;
    o.baud = p.value(speed).toInt();
    o.projectors = p.value(count).toInt();
    if ((o.baud != 19200 && o.baud != 9600) || o.projectors < 1 || o.projectors > 4) {
        std::fprintf(stderr, "tova-sim: --speed takes 19200 or 9600, --projectors 1 to 4\n");
        return 2;
    }
    if (p.isSet(fast)) o.timings = tova::sim::fastTimings();

    std::unique_ptr<tova::ProjectorEndpoint> sim;
    QString where;
    try {
        if (p.isSet(listen)) {
            const QString spec = p.value(listen);
            const int colon = spec.lastIndexOf(QLatin1Char(':'));
            bool ok = false;
            const int port = spec.mid(colon + 1).toInt(&ok);
            const QHostAddress host(spec.left(colon));
            if (colon < 0 || !ok || port < 0 || port > 65535 || host.isNull()) {
                std::fprintf(stderr, "tova-sim: --listen takes HOST:PORT, e.g. 127.0.0.1:4001\n");
                return 2;
            }
            auto tcp = std::make_unique<tova::TcpProjector>(o, host, static_cast<quint16>(port));
            where = QStringLiteral("tcp://%1:%2").arg(spec.left(colon)).arg(tcp->port());
            sim = std::move(tcp);
        } else {
            auto pty = std::make_unique<tova::PtyProjector>(o);
            where = pty->devicePath();
            sim = std::move(pty);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-sim: %s\n", e.what());
        return 1;
    }
    sim->log = [](const QString& s) { std::fprintf(stderr, "tova-sim: %s\n", qPrintable(s)); };
    if (p.isSet(link) && p.isSet(listen)) {
        std::fprintf(stderr, "tova-sim: --link needs a pseudo-terminal, not --listen\n");
        return 2;
    }
    if (p.isSet(link)) {
        g_link = p.value(link);
        QFile::remove(g_link);
        if (::symlink(qPrintable(where), qPrintable(g_link)) != 0) {
            std::perror(qPrintable(QStringLiteral("tova-sim: --link %1").arg(g_link)));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(where));
    std::fflush(stdout);
    if (::pipe(g_signalPipe) != 0) return 1;
    QSocketNotifier stop(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    int rc = QCoreApplication::exec();
    if (!g_link.isEmpty()) QFile::remove(g_link);
    return rc;
}
