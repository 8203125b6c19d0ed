// SPDX-License-Identifier: MIT
// tova-bridge: the projector's serial line on the network, as PJLink Class 2 devices, as a
// shared raw line and as a web remote with /metrics, for many clients at once.
#include "bridge_qt/bridge_log.hpp"
#include "bridge_qt/bridge_plan.hpp"
#include "bridge_qt/bridge_server.hpp"
#include "bridge_qt/password_file.hpp"
#include "options/bridge_options.hpp"
#include "qt/program_names.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/stop_signals.hpp"
#include "link/tracing_serial.hpp"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    tova::guardStandardDescriptors();
    tova::ignoreWriteSignals();
    tova::setProgramNames("tova-bridge");
    const tova::BridgeCommandLine parsed = tova::parseBridgeCommandLine(tova::cli::argumentsOf(argc, argv));
    if (!parsed.outcome.goOn()) return tova::cli::finish(parsed.outcome);
    auto fail = [](const tova::PlanFailure& f) {
        return tova::cli::finish({f.exitCode, "tova-bridge: " + f.message.toStdString() + "\n"});
    };
    // The command line over the configuration file, checked before anything is bound.
    tova::bridge::BridgeSettings settings = parsed.settings;
    if (parsed.config) {
        auto file = tova::readSettingsFile(QString::fromStdString(*parsed.config));
        if (auto* failed = std::get_if<tova::PlanFailure>(&file)) return fail(*failed);
        settings = tova::bridge::merge(std::get<tova::bridge::BridgeSettings>(file), parsed.settings);
    }
    if (const auto why = tova::bridge::problem(settings)) return tova::cli::finish(tova::cli::usageError("tova-bridge", *why));
    auto planned = tova::planBridge(settings, "tova-bridge " TOVA_VERSION);
    if (auto* failed = std::get_if<tova::PlanFailure>(&planned)) return fail(*failed);
    const tova::BridgePlan& plan = std::get<tova::BridgePlan>(planned);
    for (const QString& warning : tova::startUpWarnings(settings, plan, {tova::raiseOpenFileLimit(), tova::memoryLimit()}))
        tova::logLine(warning, tova::bridge::Priority::Warning);

    QCoreApplication app(argc, argv);
    tova::QtSerialControl port(QString::fromStdString(*settings.device));
    std::unique_ptr<tova::TracingSerial> traced;
    const QString trace = QString::fromStdString(settings.trace.value_or(""));
    try {
        if (!trace.isEmpty()) traced = std::make_unique<tova::TracingSerial>(port, trace.toStdString());
    } catch (const std::exception& e) {
        return tova::cli::finish({tova::cli::kUsageError, "tova-bridge: --trace " + trace.toStdString() + ": " + e.what() + "\n"});
    }
    if (traced)
        traced->setOnFailure([](const std::string& text) { tova::logLine(QString::fromStdString(text), tova::bridge::Priority::Warning); });
    tova::SerialControl& line = traced ? static_cast<tova::SerialControl&>(*traced) : port;
    tova::BridgeServer server(plan, line, [](tova::bridge::Priority p, const QString& text) { tova::logLine(text, p); });
    tova::routeQtMessages([&server](const QString& kind, const QString& text) { server.sayLimited(kind, text); });
    QString why;
    if (!server.listen(why)) return tova::cli::finish({2, "tova-bridge: cannot listen on " + why.toStdString() + "\n"});
    tova::StopSignals stop(
        [&server] {
            tova::logLine(QStringLiteral("stopping: ") + server.summary());
            QCoreApplication::quit();
        },
        [&] {
            tova::logLine(QStringLiteral("SIGHUP: reading the password files again and reopening the trace"));
            std::vector<QString> problems;
            server.setPasswords(tova::rereadPasswords(settings, problems), tova::rereadWebPassword(settings, problems));
            for (const QString& p : problems) tova::logLine(p, tova::bridge::Priority::Warning);
            if (traced) traced->reopen();
        });
    server.start();
    const int rc = QCoreApplication::exec();
    tova::routeQtMessages({}); // the server goes before the application
    try {
        line.setPortOpen(false);
    } catch (const tova::SerialError&) {
    }
    return rc;
}
