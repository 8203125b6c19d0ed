// SPDX-License-Identifier: MIT
// tova-send: the panel's protocol from the command line, for scripts and show control.
#include "apps/send_options.hpp"
#include "qt/program_names.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/qt_timer.hpp"
#include "qt/stop_signals.hpp"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    tova::ignoreWriteSignals(); // a reader that goes away ends us through a failed write
    tova::setProgramNames("tova-send");
    const tova::SendOptions o = tova::parseSendOptions(tova::argumentsOf(argc, argv));
    if (!o.outcome.goOn()) return tova::finish(o.outcome);
    QCoreApplication app(argc, argv);

    tova::QtSerialControl serial(o.device);
    serial.setSettings(o.settings);
    tova::QtTimer timeout, guard;
    const tova::SteadyClock clock;
    tova::ExchangeQueue queue(serial, timeout, guard, clock);
    tova::send::SendRun run(serial, queue, o.run);
    run.print = [](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    run.tell = [](const std::string& text) { std::fprintf(stderr, "tova-send: %s\n", text.c_str()); };
    run.finished = [](int status) { QCoreApplication::exit(status); };
    // A device server is connected to while the event loop runs, within the same 3 s bound.
    serial.openPort([&run](const tova::SerialError* failed) {
        if (!failed) return run.start();
        std::fprintf(stderr, "tova-send: %s\n", failed->what());
        QCoreApplication::exit(tova::send::kDeviceFailed);
    });
    return QCoreApplication::exec();
}
