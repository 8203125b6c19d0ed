// SPDX-License-Identifier: MIT
// tova-bridge: the projector's serial line on the network, as PJLink Class 2 devices, as a
// shared raw line and as a web remote with /metrics, for many clients at once.
#include "apps/bridge_options.hpp"
#include "bridge_qt/bridge_log.hpp"
#include "bridge_qt/bridge_plan.hpp"
#include "bridge_qt/bridge_server.hpp"
#include "bridge_qt/password_file.hpp"
#include "qt/program_names.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/stop_signals.hpp"
#include "qt/tracing_serial.hpp"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    tova::guardStandardDescriptors();
    tova::ignoreWriteSignals();
    tova::setProgramNames("tova-bridge");
    const tova::BridgeCommandLine o = tova::parseBridgeOptions(tova::argumentsOf(argc, argv));
    if (!o.outcome.goOn()) return tova::finish(o.outcome);
    auto planned = tova::planBridge(o.settings, "tova-bridge " + QCoreApplication::applicationVersion().toStdString());
    if (auto* failed = std::get_if<tova::PlanFailure>(&planned))
        return tova::finish({failed->exitCode, QStringLiteral("tova-bridge: %1\n").arg(failed->message)});
    const tova::BridgePlan& plan = std::get<tova::BridgePlan>(planned);
    for (const QString& warning : tova::startUpWarnings(o.settings, plan, tova::raiseOpenFileLimit())) tova::logLine(warning);

    QCoreApplication app(argc, argv);
    tova::QtSerialControl port(QString::fromStdString(*o.settings.device));
    std::unique_ptr<tova::TracingSerial> traced;
    const QString trace = QString::fromStdString(o.settings.trace.value_or(""));
    try {
        if (!trace.isEmpty()) traced = std::make_unique<tova::TracingSerial>(port, trace);
    } catch (const std::exception& e) {
        return tova::finish({tova::kUsageError, QStringLiteral("tova-bridge: --trace %1: %2\n").arg(trace, QString::fromUtf8(e.what()))});
    }
    if (traced) traced->setOnFailure([](const std::string& text) { tova::logLine(QString::fromStdString(text)); });
    tova::SerialControl& line = traced ? static_cast<tova::SerialControl&>(*traced) : port;
    tova::BridgeServer server(plan, line);
    server.log = tova::logLine;
    QString why;
    if (!server.listen(why)) return tova::finish({2, QStringLiteral("tova-bridge: cannot listen on %1\n").arg(why)});
    tova::StopSignals stop(
        [&server] {
            tova::logLine(QStringLiteral("stopping: ") + server.summary());
            QCoreApplication::quit();
        },
        [&] {
            tova::logLine(QStringLiteral("SIGHUP: reading the password files again and reopening the trace"));
            std::vector<QString> problems;
            server.setPasswords(tova::rereadPasswords(o.settings, problems), tova::rereadWebPassword(o.settings, problems));
            for (const QString& p : problems) tova::logLine(p);
            if (traced) traced->reopen();
        });
    server.start();
    const int rc = QCoreApplication::exec();
    try {
        line.setPortOpen(false);
    } catch (const tova::SerialError&) {
    }
    return rc;
}
