// SPDX-License-Identifier: MIT
// tova-control: the operator panel.
#include "panel_qt/kept_devices.hpp"
#include "panel_qt/panel_assembly.hpp"
#include "qt/program_names.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/stop_signals.hpp"
#include "link/tracing_serial.hpp"
#include "sim_qt/projector_endpoint.hpp"

#include <QApplication>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    tova::ignoreWriteSignals(); // a trace that cannot be written is told about
    // The command line first: help, version and mistakes need no display.
    tova::setProgramNames("tova-control");
    const std::vector<std::string> arguments = tova::cli::argumentsOf(argc, argv);
    const tova::PanelSystem system = tova::qtPanelSystem();
    const tova::PanelCommandLine parsed = tova::parsePanelCommandLine(arguments, system);
    if (!parsed.outcome.goOn()) return tova::cli::finish(parsed.outcome);
    const tova::PanelOptions& opts = parsed.options;
    tova::KeptDevices kept;
    const tova::Devices devices = tova::chooseDevices(opts, kept, system);
    std::fputs(devices.notice.c_str(), stderr);
    if (!devices.outcome.goOn()) return tova::cli::finish(devices.outcome);
    if (const std::string why = tova::missingDisplay(arguments); !why.empty()) {
        std::fprintf(stderr, "tova-control: %s\n", why.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));

    std::unique_ptr<tova::DemoProjectors> demo;
    QString com1 = QString::fromStdString(devices.com1), com2 = QString::fromStdString(devices.com2);
    try {
        if (opts.demo) demo = std::make_unique<tova::DemoProjectors>(com1, com2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-control: cannot start the virtual projectors: %s\n", e.what());
        return 1;
    }
    tova::QtSerialControl port(com1, com2);
    std::unique_ptr<tova::TracingSerial> traced;
    const QString trace = QString::fromStdString(opts.trace);
    try {
        if (!trace.isEmpty()) traced = std::make_unique<tova::TracingSerial>(port, opts.trace);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-control: --trace %s: %s\n", opts.trace.c_str(), e.what());
        return 1;
    }
    tova::PanelAssembly panel(traced ? static_cast<tova::SerialControl&>(*traced) : port);
    if (traced)
        traced->setOnFailure([&](const std::string& text) {
            std::fprintf(stderr, "tova-control: %s\n", text.c_str());
            panel.form.tell(text);
        });
    panel.show();
    if (!opts.screenshot.empty()) panel.screenshotLater(QString::fromStdString(opts.screenshot), opts.screenshotHeight);
    return QApplication::exec();
}
