// SPDX-License-Identifier: MIT
// tova-bridge: the projector's serial line on the network, as PJLink Class 1 devices and as a
// shared raw line, for many clients at once.
#include "apps/bridge_options.hpp"
#include "bridge_qt/bridge_log.hpp"
#include "qt/program_names.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/stop_signals.hpp"
#include "qt/tracing_serial.hpp"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    tova::ignoreWriteSignals();
    tova::setProgramNames("tova-bridge");
    const tova::BridgeCommandLine o = tova::parseBridgeOptions(tova::argumentsOf(argc, argv));
    if (!o.outcome.goOn()) return tova::finish(o.outcome);
    if (!o.warning.isEmpty()) tova::logLine(o.warning);

    QCoreApplication app(argc, argv);
    tova::QtSerialControl port(o.device);
    std::unique_ptr<tova::TracingSerial> traced;
    try {
        if (!o.trace.isEmpty()) traced = std::make_unique<tova::TracingSerial>(port, o.trace);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-bridge: --trace %s: %s\n", qPrintable(o.trace), e.what());
        return 1;
    }
    if (traced) traced->setOnFailure([](const std::string& text) { tova::logLine(QString::fromStdString(text)); });
    tova::SerialControl& line = traced ? static_cast<tova::SerialControl&>(*traced) : port;
    tova::BridgeServer server(o.bridge, line);
    server.log = tova::logLine;
    QString why;
    if (!server.listen(why)) {
        std::fprintf(stderr, "tova-bridge: cannot listen on %s\n", qPrintable(why));
        return 2;
    }
    tova::StopSignals stop([] {
        tova::logLine(QStringLiteral("stopping"));
        QCoreApplication::quit();
    });
    server.start();
    const int rc = QCoreApplication::exec();
    try {
        line.setPortOpen(false);
    } catch (const tova::SerialError&) {
    }
    return rc;
}
