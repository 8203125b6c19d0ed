// SPDX-License-Identifier: MIT
// tova-sim: a virtual projector on a pseudo-terminal, for work without the real set.
#include "options/sim_options.hpp"
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
    const tova::SimCommandLine parsed = tova::parseSimCommandLine(tova::cli::argumentsOf(argc, argv));
    if (!parsed.outcome.goOn()) return tova::cli::finish(parsed.outcome);
    const tova::SimOptions& o = parsed.options;

    QCoreApplication app(argc, argv);
    std::unique_ptr<tova::ProjectorEndpoint> sim;
    QString where;
    try {
        sim = tova::startProjector(o.line, o.listen, where,
                                   [](const QString& s) { std::fprintf(stderr, "tova-sim: %s\n", qPrintable(s)); });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-sim: %s\n", e.what());
        return 1;
    }
    const QString linkPath = QString::fromStdString(o.link);
    tova::DeviceLink link(linkPath, where);
    if (!link.error().isEmpty()) {
        std::fprintf(stderr, "tova-sim: --link %s: %s\n", o.link.c_str(), qPrintable(link.error()));
        return 1;
    }
    tova::StopSignals stop([] { QCoreApplication::quit(); });
    std::printf("%s\n", qPrintable(where));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
