// SPDX-License-Identifier: MIT
// tova-control: the operator panel.
#include "qt/options.hpp"
#include "qt/panel_assembly.hpp"
#include "qt/program_names.hpp"
#include "sim_qt/projector_endpoint.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/tracing_serial.hpp"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    // A trace that cannot be written is told about, never the end of the panel.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
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

    std::unique_ptr<tova::PtyProjector> sim1, sim2;
    QString com1 = opts.com1, com2 = opts.com2;
    if (opts.demo) {
        try {
            tova::sim::ProjectorLine::Options o;
            o.timings = tova::sim::fastTimings();
            sim1 = std::make_unique<tova::PtyProjector>(o);
            sim2 = std::make_unique<tova::PtyProjector>(o);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tova-control: cannot start the virtual projectors: %s\n", e.what());
            return 1;
        }
        com1 = sim1->devicePath();
        com2 = sim2->devicePath();
        std::fprintf(stderr, "tova-control: demo: virtual projectors on COM1 %s and COM2 %s\n",
                     qPrintable(com1), qPrintable(com2));
    }

    tova::QtSerialControl port(com1, com2);
    std::unique_ptr<tova::TracingSerial> traced;
    if (!opts.trace.isEmpty()) {
        try {
            traced = std::make_unique<tova::TracingSerial>(port, opts.trace);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tova-control: --trace %s: %s\n", qPrintable(opts.trace), e.what());
            return 1;
        }
    }
    tova::SerialControl& serial = traced ? static_cast<tova::SerialControl&>(*traced) : port;

    tova::PanelAssembly panel(serial);
    if (traced)
        traced->setOnFailure([&](const std::string& text) {
            std::fprintf(stderr, "tova-control: %s\n", text.c_str());
            panel.form.tell(text);
        });
    panel.show();
    tova::MainWindow& window = panel.window;

    if (!opts.screenshot.isEmpty()) {
        QTimer::singleShot(600, &window, [&] {
            if (opts.screenshotHeight > 0) window.setHeight(opts.screenshotHeight);
            QTimer::singleShot(300, &window, [&] {
                if (window.grab().save(opts.screenshot))
                    std::fprintf(stderr, "tova-control: screenshot saved to %s\n",
                                 qPrintable(opts.screenshot));
                else
                    std::fprintf(stderr, "tova-control: cannot save the screenshot to %s\n",
                                 qPrintable(opts.screenshot));
            });
        });
    }
    return QApplication::exec();
}
