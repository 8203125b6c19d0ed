// SPDX-License-Identifier: MIT
// tova-send: the panel's protocol from the command line, for scripts and show control.
#include "core/serial_ports.hpp"
#include "options/send_options.hpp"
#include "qt/line_reader.hpp"
#include "qt/program_names.hpp"
#include "qt/qt_serial_control.hpp"
#include "qt/qt_timer.hpp"
#include "qt/stop_signals.hpp"
#include "tables/vocabulary.hpp"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    tova::ignoreWriteSignals(); // a reader that goes away ends us through a failed write
    tova::setProgramNames("tova-send");
    const tova::SendCommandLine parsed = tova::parseSendCommandLine(tova::cli::argumentsOf(argc, argv));
    if (!parsed.outcome.goOn()) return tova::cli::finish(parsed.outcome);
    const tova::SendOptions& o = parsed.options;
    if (o.list) return tova::cli::finish({0, tova::commandListing(), true});
    if (o.listPorts) return tova::cli::finish({0, tova::portListing(tova::serialPorts(), o.json), true});
#ifndef Q_OS_UNIX
    // Standard input is read beside the event loop through a notifier, which Qt has for sockets only on Windows.
    if (o.run.fromInput)
        return tova::cli::finish(tova::cli::usageError("tova-send", "--stdin is for POSIX systems with this build; give the codes on the command line"));
#endif
    QCoreApplication app(argc, argv);

    tova::QtSerialControl serial(QString::fromStdString(o.device));
    serial.setSettings(o.settings);
    tova::QtTimer timeout, guard, again;
    const tova::SteadyClock clock;
    std::unique_ptr<tova::LineReader> input; // --stdin
    tova::send::SendRun run(serial, timeout, guard, again, clock, o.run,
                            {.print =
                                 [](const std::string& line) {
                                     std::fwrite(line.data(), 1, line.size(), stdout);
                                     std::fputc('\n', stdout);
                                     std::fflush(stdout);
                                 },
                             .tell = [](const std::string& text) { std::fprintf(stderr, "tova-send: %s\n", text.c_str()); },
                             .finished = [](int status) { QCoreApplication::exit(status); },
                             .room = [&input] { input->setPaused(false); }});
    if (o.run.fromInput)
        input = std::make_unique<tova::LineReader>(0, tova::send::kMaxInputLine,
                                                   tova::LineReader::Callbacks{[&](std::string line) {
                                                                                   run.input(std::move(line));
                                                                                   if (!run.wantsInput()) input->setPaused(true);
                                                                               },
                                                                               [&run] { run.inputEnded(); }});
    // A device server is connected to while the event loop runs, within the same 3 s bound.
    serial.openPort([&run](const tova::SerialError* failed) { failed ? run.openFailed(failed->failure()) : run.start(); });
    return QCoreApplication::exec();
}
