// tova-sim: a virtual projector on a pseudo-terminal, for work without the real set.
#include "qt/pty_projector.hpp"

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
    QCoreApplication::setApplicationName(QStringLiteral("tova-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.40"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A virtual projector on a pseudo-terminal. Prints the device path to give the panel\n"
        "as --com1 (or tova-send as --device), logs every line received and every reply to\n"
        "standard error, and runs until stopped (Ctrl+C)."));
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
    QCommandLineOption link(QStringLiteral("link"),
                            QStringLiteral("Also make <path> a symbolic link to the device."),
                            QStringLiteral("path"));
    p.addOptions({speed, count, fast, link});
    p.process(app);

    tova::sim::ProjectorLine::Options o;
    o.baud = p.value(speed).toInt();
    o.projectors = p.value(count).toInt();
    if ((o.baud != 19200 && o.baud != 9600) || o.projectors < 1 || o.projectors > 4) {
        std::fprintf(stderr, "tova-sim: --speed takes 19200 or 9600, --projectors 1 to 4\n");
        return 2;
    }
    if (p.isSet(fast)) o.timings = tova::sim::fastTimings();

    std::unique_ptr<tova::PtyProjector> sim;
    try {
        sim = std::make_unique<tova::PtyProjector>(o);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-sim: %s\n", e.what());
        return 1;
    }
    sim->log = [](const QString& s) { std::fprintf(stderr, "tova-sim: %s\n", qPrintable(s)); };
    if (p.isSet(link)) {
        g_link = p.value(link);
        QFile::remove(g_link);
        if (::symlink(qPrintable(sim->devicePath()), qPrintable(g_link)) != 0) {
            std::perror(qPrintable(QStringLiteral("tova-sim: --link %1").arg(g_link)));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(sim->devicePath()));
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
