// SPDX-License-Identifier: MIT
// tova-sim: a virtual projector on a pseudo-terminal, for work without the real set.
#include "apps/sim_options.hpp"
#include "qt/program_names.hpp"
#include "qt/stop_signals.hpp"
#include "sim_qt/device_link.hpp"
#include "sim_qt/projector_endpoint.hpp"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    tova::ignoreWriteSignals(); // a log reader that goes away does not end the projector
    tova::setProgramNames("tova-sim");
    const tova::SimOptions o = tova::parseSimOptions(tova::argumentsOf(argc, argv));
    if (!o.outcome.goOn()) return tova::finish(o.outcome);

    QCoreApplication app(argc, argv);
    std::unique_ptr<tova::ProjectorEndpoint> sim;
    QString where;
    try {
        sim = tova::startProjector(o.line, o.listen, where);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-sim: %s\n", e.what());
        return 1;
    }
    sim->log = [](const QString& s) { std::fprintf(stderr, "tova-sim: %s\n", qPrintable(s)); };
    tova::DeviceLink link(o.link, where);
    if (!link.error().isEmpty()) {
        std::fprintf(stderr, "tova-sim: --link %s: %s\n", qPrintable(o.link), qPrintable(link.error()));
        return 1;
    }
    tova::StopSignals stop([] { QCoreApplication::quit(); });
    std::printf("%s\n", qPrintable(where));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
