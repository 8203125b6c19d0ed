// SPDX-License-Identifier: MIT
// tova-sim: a virtual projector on a pseudo-terminal, for work without the real set.
#include "qt/command_line.hpp"
#include "qt/program_names.hpp"
#include "sim_qt/projector_endpoint.hpp"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};
void onSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1); // only this is safe in a handler
}

// Makes link a symbolic link to target. Only a symbolic link is ever replaced: a file or folder
// of that name is the user's and stays as it is.
QString makeLink(const QString& link, const QString& target) {
    const QByteArray path = link.toLocal8Bit();
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return QStringLiteral("%1 is there and is no symbolic link; it is left as it is").arg(link);
        if (::unlink(path.constData()) != 0) return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (::symlink(target.toLocal8Bit().constData(), path.constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

// Removes the link on the way out, if it still leads where we made it lead.
void removeLink(const QString& link, const QString& target) {
    char buf[4096];
    const QByteArray path = link.toLocal8Bit();
    const ssize_t n = ::readlink(path.constData(), buf, sizeof buf);
    if (n > 0 && QByteArray(buf, int(n)) == target.toLocal8Bit()) ::unlink(path.constData());
}

// "HOST:PORT" or "[IPV6]:PORT".
bool parseListen(const QString& spec, QHostAddress& host, quint16& port) {
    const qsizetype colon = spec.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return false;
    QString h = spec.left(colon);
    if (h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']'))) h = h.mid(1, h.size() - 2);
    bool ok = false;
    const int p = spec.mid(colon + 1).toInt(&ok);
    host = QHostAddress(h);
    if (!ok || p < 0 || p > 65535 || host.isNull()) return false;
    port = static_cast<quint16>(p);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    tova::setProgramNames("tova-sim");
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
    if (auto o = tova::parseCommandLine(p, tova::argumentsOf(argc, argv)); !o.goOn()) return tova::finish(o);
    auto usage = [](const char* text) { return tova::finish(tova::usageError(QString::fromLatin1(text))); };

    tova::sim::ProjectorLine::Options o;
    o.baud = p.value(speed).toInt();
    o.projectors = p.value(count).toInt();
    if (o.baud != 19200 && o.baud != 9600) return usage("--speed takes 19200 or 9600");
    if (o.projectors < 1 || o.projectors > 4) return usage("--projectors takes 1 to 4");
    if (p.isSet(fast)) o.timings = tova::sim::fastTimings();
    if (p.isSet(link) && p.isSet(listen)) return usage("--link needs a pseudo-terminal, not --listen");
    QHostAddress host;
    quint16 port = 0;
    if (p.isSet(listen) && !parseListen(p.value(listen), host, port))
        return usage("--listen takes HOST:PORT, e.g. 127.0.0.1:4001 or [::1]:4001");

    QCoreApplication app(argc, argv);
    std::unique_ptr<tova::ProjectorEndpoint> sim;
    QString where;
    try {
        if (p.isSet(listen)) {
            auto tcp = std::make_unique<tova::TcpProjector>(o, host, port);
            const QString h = host.protocol() == QAbstractSocket::IPv6Protocol
                                  ? QStringLiteral("[%1]").arg(host.toString())
                                  : host.toString();
            where = QStringLiteral("tcp://%1:%2").arg(h).arg(tcp->port());
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
    const QString linkPath = p.value(link);
    if (!linkPath.isEmpty()) {
        if (const QString why = makeLink(linkPath, where); !why.isEmpty()) {
            std::fprintf(stderr, "tova-sim: --link %s: %s\n", qPrintable(linkPath), qPrintable(why));
            return 1;
        }
    }
    // Stopping is handled before the device is announced: a caller may stop us right after.
    if (::pipe(g_signalPipe) != 0) return 1;
    QSocketNotifier stop(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("%s\n", qPrintable(where));
    std::fflush(stdout);
    const int rc = QCoreApplication::exec();
    if (!linkPath.isEmpty()) removeLink(linkPath, where);
    return rc;
}
