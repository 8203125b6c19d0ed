// SPDX-License-Identifier: MIT
#include "options/panel_options.hpp"

#include "core/host_port.hpp"

#include "tables/timings.hpp"

#include <algorithm>
#include <array>
#include <charconv>

namespace tova {
namespace {

constexpr std::string_view kProgram = "tova-control";

std::optional<int> screenshotHeight(std::string_view text) {
    const std::array heights{kCompactHeight, kDataHeight, kServiceHeight, kFullHeight};
    int h = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), h);
    if (ec != std::errc{} || end != text.data() + text.size() || std::find(heights.begin(), heights.end(), h) == heights.end())
        return std::nullopt;
    return h;
}

} // namespace

cli::Program panelProgram(const PanelSystem& system) {
    cli::Program p{std::string(kProgram), TOVA_VERSION,
                   "Operator panel for video projectors controlled by text commands over RS-232C.\n"
                   "Each button sends one command line on COM1 or COM2; replies to the status queries\n"
                   "are shown in plain words. Ctrl+K, then a double-click on the picture, opens the\n"
                   "service view with the traffic, the address choice and a free-text command box.",
                   {}};
    p.options = {
        {"com1", "path",
         "Device behind COM1 (default " + system.com1Default +
             "), or tcp://HOST:PORT for a serial device server in raw TCP mode."},
        {"com2", "path", "Device behind COM2 (default " + system.com2Default + "), or tcp://HOST:PORT."},
        {"save", "",
         "Keep the --com1 and --com2 given in your settings (" + system.keptWhere +
             "); later starts use them unless the command line names another."},
        {"trace", "file",
         "Append every line sent and every piece received, with its time to the millisecond, to <file> (a "
         "regular file)."},
        {"demo", "",
         "Run on two virtual projectors, one on each port, on pseudo-terminals (on Windows, loopback TCP ports); "
         "no real device is touched. --com1 and --com2 are ignored."},
        {"screenshot", "file", "Save a PNG picture of the window to <file> once it is shown, then keep running."},
        {"screenshot-height", "twips", "Set the window to <twips> (5350, 6645, 7200 or 9100) before the screenshot."},
    };
    for (const std::string& name : system.windowSystemOptions) p.options.push_back({name, "value", "", "", true});
    p.singleDashLong = !system.windowSystemOptions.empty(); // -platform as Qt has it
    return p;
}

PanelCommandLine parsePanelCommandLine(const std::vector<std::string>& arguments, const PanelSystem& system) {
    PanelCommandLine r;
    PanelOptions& o = r.options;
    r.outcome = cli::parse(panelProgram(system), arguments, [&](const cli::Arguments& a) -> std::optional<std::string> {
        if (!a.positional().empty()) return "unexpected argument '" + a.positional().front() + "'";
        o.save = a.isSet("save");
        o.demo = a.isSet("demo");
        if (o.save && o.demo) return "--save keeps real devices; it cannot be used with --demo";
        if (o.save && !a.isSet("com1") && !a.isSet("com2"))
            return "--save keeps the --com1 and --com2 given, and none is: nothing to keep";
        if (a.isSet("screenshot-height")) {
            const auto h = screenshotHeight(a.value("screenshot-height"));
            if (!h) return "--screenshot-height takes 5350, 6645, 7200 or 9100";
            o.screenshotHeight = *h;
        }
        for (const char* com : {"com1", "com2"})
            if (a.isSet(com))
                if (const auto why = deviceServerProblem(a.value(com))) return "--" + std::string(com) + " " + *why;
        if (a.isSet("com1")) o.com1 = a.value("com1");
        if (a.isSet("com2")) o.com2 = a.value("com2");
        o.trace = a.value("trace");
        o.screenshot = a.value("screenshot");
        return std::nullopt;
    });
    return r;
}

Devices chooseDevices(const PanelOptions& o, DeviceStore& store, const PanelSystem& system) {
    Devices d;
    const std::string program(kProgram);
    const std::optional<DeviceStore::Kept> kept = store.read();
    // A store that cannot be read is reported and left as it is, never rewritten.
    if (!kept) {
        const std::string why = program + ": " + store.where() +
                                " cannot be read; it is left as it is and its devices are not used\n";
        if (o.save) {
            d.outcome = {1, why + program + ": --save kept nothing\n"};
            return d;
        }
        d.notice += why;
    }
    auto device = [&](const std::optional<std::string>& given, const std::optional<std::string> DeviceStore::Kept::*slot,
                      const std::string& fallback) {
        if (given) return *given;
        return kept && (*kept).*slot ? *((*kept).*slot) : fallback;
    };
    d.com1 = device(o.com1, &DeviceStore::Kept::com1, system.com1Default);
    d.com2 = device(o.com2, &DeviceStore::Kept::com2, system.com2Default);
    if (o.save) {
        if (!store.write({o.com1, o.com2})) {
            d.outcome = {1, program + ": cannot save the devices to " + store.where() + "\n"};
            return d;
        }
        std::string what;
        if (o.com1) what = "COM1 " + *o.com1;
        if (o.com2) what += (what.empty() ? "" : " and ") + std::string("COM2 ") + *o.com2;
        d.notice += program + ": kept " + what + " in " + store.where() + "\n";
    }
    return d;
}

} // namespace tova
