// tova-control: the operator panel.
#include "core/form1.hpp"
#include "qt/main_window.hpp"
#include "qt/options.hpp"
#include "qt/projector_endpoint.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/qt_timer.hpp"
#include "qt/tracing_serial.hpp"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void setNames() {
    QCoreApplication::setApplicationName(QStringLiteral("tova-control"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.40"));
}

} // namespace

int main(int argc, char** argv) {
    if (tova::wantsHelpOnly(argc, argv)) { // no display needed for these
        QCoreApplication app(argc, argv);
        setNames();
        tova::parsePanelOptions(QCoreApplication::arguments());
        return 0;
    }
    QApplication app(argc, argv);
    setNames();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    const tova::PanelOptions opts = tova::parsePanelOptions(QApplication::arguments());

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
        } catch (const tova::SerialError& e) {
            std::fprintf(stderr, "tova-control: --trace %s: %s\n", qPrintable(opts.trace), e.what());
            return 1;
        }
    }
    tova::SerialControl& serial = traced ? static_cast<tova::SerialControl&>(*traced) : port;

    tova::QtTimer timer1, timer2, timer3, timer4;
    tova::MainWindow window;
    tova::Form1 form(serial, window, {timer1, timer2, timer3, timer4});
    window.setForm(&form);
    form.Form_Load();
    window.show();
    if (QWidget* first = window.control("Command17")) first->setFocus();

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
