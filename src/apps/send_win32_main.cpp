// SPDX-License-Identifier: MIT
// tova-send.exe: the panel's protocol from the command line, for scripts and show control, on
// the Windows serial control; its waits are driven by a message-only window's loop.
#include "core/serial_ports.hpp"
#include "options/send_options.hpp"
#include "tables/vocabulary.hpp"
#include "win32/dispatcher.hpp"
#include "win32/program_output.hpp"
#include "win32/stdin_reader.hpp"
#include "win32/win32_serial_control.hpp"

#include <cstdio>
#include <memory>

#include <windows.h>

int main() {
    namespace w = tova::win32;
    SetConsoleOutputCP(CP_UTF8); // the panel's words and the captions read as written
    const tova::SendCommandLine parsed = tova::parseSendCommandLine(w::programArguments());
    if (!parsed.outcome.goOn()) return w::finish(parsed.outcome);
    const tova::SendOptions& o = parsed.options;
    if (o.list) return w::finish({0, tova::commandListing(), true});
    if (o.listPorts) return w::finish({0, tova::portListing(tova::serialPorts(), o.json), true});

    w::Dispatcher dispatcher;
    w::Win32SerialControl serial(o.device, o.device, dispatcher);
    serial.setSettings(o.settings);
    w::Win32Timer timeout(dispatcher), guard(dispatcher), again(dispatcher);
    const tova::SteadyClock clock;
    std::unique_ptr<w::StdinReader> input; // --stdin
    tova::send::SendRun run(serial, timeout, guard, again, clock, o.run,
                            {.print =
                                 [](const std::string& line) {
                                     std::fwrite(line.data(), 1, line.size(), stdout);
                                     std::fputc('\n', stdout);
                                     std::fflush(stdout);
                                 },
                             .tell =
                                 [](const std::string& text) {
                                     std::fprintf(stderr, "tova-send: %s\n", text.c_str());
                                     std::fflush(stderr);
                                 },
                             .finished = [](int status) { PostQuitMessage(status); },
                             .room = [&input] { input->setPaused(false); }});
    if (o.run.fromInput)
        input = std::make_unique<w::StdinReader>(dispatcher, tova::send::kMaxInputLine,
                                                 w::StdinReader::Callbacks{[&](std::string line) {
                                                                               run.input(std::move(line));
                                                                               if (!run.wantsInput()) input->setPaused(true);
                                                                           },
                                                                           [&run] { run.inputEnded(); }});
    // A device server is connected to while the loop runs, within the same 3 s bound.
    serial.openPort([&run](const tova::SerialError* failed) { failed ? run.openFailed(failed->failure()) : run.start(); });
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return static_cast<int>(msg.wParam);
}
