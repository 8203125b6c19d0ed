// SPDX-License-Identifier: MIT
// tova-control: the operator panel.
#include "apps/panel_options.hpp"
#include "panel_qt/panel_assembly.hpp"
#include "qt/program_names.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/stop_signals.hpp"
#include "qt/tracing_serial.hpp"
#include "sim_qt/projector_endpoint.hpp"

#include <QApplication>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    tova::ignoreWriteSignals(); // a trace that cannot be written is told about
    // The command line first: help, version and mistakes need no display.
    tova::setProgramNames("tova-control");
    const QStringList arguments = tova::argumentsOf(argc, argv);
    const tova::ParsedOptions parsed = tova::parsePanelOptions(arguments);
    std::fputs(qPrintable(parsed.notice), stderr);
    if (!parsed.outcome.goOn()) return tova::finish(parsed.outcome);
    if (const QString why = tova::missingDisplay(arguments); !why.isEmpty()) {
        std::fprintf(stderr, "tova-control: %s\n", qPrintable(why));
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    const tova::PanelOptions& opts = parsed.options;

    std::unique_ptr<tova::DemoProjectors> demo;
    QString com1 = opts.com1, com2 = opts.com2;
    try {
        if (opts.demo) demo = std::make_unique<tova::DemoProjectors>(com1, com2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-control: cannot start the virtual projectors: %s\n", e.what());
        return 1;
    }
    tova::QtSerialControl port(com1, com2);
    std::unique_ptr<tova::TracingSerial> traced;
    try {
        if (!opts.trace.isEmpty()) traced = std::make_unique<tova::TracingSerial>(port, opts.trace);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tova-control: --trace %s: %s\n", qPrintable(opts.trace), e.what());
        return 1;
    }
    tova::PanelAssembly panel(traced ? static_cast<tova::SerialControl&>(*traced) : port);
    if (traced)
        traced->setOnFailure([&](const std::string& text) {
            std::fprintf(stderr, "tova-control: %s\n", text.c_str());
            panel.form.tell(text);
        });
    panel.show();
    if (!opts.screenshot.isEmpty()) panel.screenshotLater(opts.screenshot, opts.screenshotHeight);
    return QApplication::exec();
}
