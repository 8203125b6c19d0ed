// SPDX-License-Identifier: MIT
#include "options/sim_options.hpp"

#include "core/numbers.hpp"
#include "core/settings.hpp"

#include <utility>

namespace tova {
namespace {

std::optional<sim::Fault> parseFault(std::string_view kind) {
    const std::pair<std::string_view, sim::Fault> faults[] = {
        {"temperature", sim::Fault::Temperature}, {"lamp", sim::Fault::Lamp}, {"power", sim::Fault::Power}};
    for (const auto& [name, fault] : faults)
        if (name == kind) return fault;
    return std::nullopt;
}

cli::Program simProgram() {
    cli::Program p{"tova-sim", TOVA_VERSION,
                   "A virtual projector on a pseudo-terminal (or a TCP port with --listen). Prints the\n"
                   "device to give the panel as --com1 (or tova-send as --device), logs every line\n"
                   "received and every reply to standard error, and runs until stopped (Ctrl+C).",
                   {}};
    p.options = {
        {"speed", "baud", "Line speed of the projector: 19200 (default) or 9600. A panel at the other speed sees noise.",
         "19200"},
        {"projectors", "n", "Projectors on the line, 1 to 4 (default 1); each answers its address A001 to A004.", "1"},
        {"fast", "", "Power on in 3 s and cool down in 4 s instead of 30 s and 60 s; input changes take 0.5 s instead of 2 s."},
        {"warm-up", "seconds",
         "Count down this long after POWER ON before the projector is on (decimal, 0.1 to 600; default 30, "
         "3 with --fast)."},
        {"listen", "host:port",
         "Serve the projector over raw TCP on <host:port> (like a serial device server) instead of a "
         "pseudo-terminal; port 0 picks a free one. An IPv6 host is written in brackets: [::1]:0."},
        {"fault", "kind",
         "Report a fault in every status reply: temperature (a warning), lamp (every lamp failed; POWER ON "
         "refused) or power (a power failure; every command refused)."},
        {"link", "path", "Also make <path> a symbolic link to the device. Only a symbolic link already there is replaced."},
    };
    return p;
}

} // namespace

SimCommandLine parseSimCommandLine(const std::vector<std::string>& arguments) {
    SimCommandLine r;
    SimOptions& o = r.options;
    r.outcome = cli::parse(simProgram(), arguments, [&](const cli::Arguments& a) -> std::optional<std::string> {
        const auto speed = parseSpeed(a.value("speed"));
        if (!speed) return "--speed " + std::string(kSpeedRule);
        o.line.baud = *speed;
        const auto n = wholeNumber(a.value("projectors"));
        if (!n || *n < 1 || *n > 4) return "--projectors takes 1 to 4";
        o.line.projectors = *n;
        if (a.isSet("fast")) o.line.timings = sim::fastTimings();
        if (a.isSet("warm-up")) {
            const auto s = decimalNumber(a.value("warm-up"));
            if (!s || *s < 0.1 || *s > 600) return "--warm-up takes seconds from 0.1 to 600";
            o.line.timings.countDown = std::chrono::milliseconds(static_cast<long long>(*s * 1000 + 0.5));
        }
        if (a.isSet("fault")) {
            const auto f = parseFault(a.value("fault"));
            if (!f) return "--fault takes temperature, lamp or power";
            o.line.fault = *f;
        }
        if (a.isSet("link") && a.isSet("listen")) return "--link needs a pseudo-terminal, not --listen";
        if (a.isSet("listen")) {
            o.listen = parseHostPort(a.value("listen"));
            if (!o.listen || !isAddressLiteral(o.listen->host))
                return "--listen takes HOST:PORT, e.g. 127.0.0.1:4001 or [::1]:4001";
        }
        o.link = a.value("link");
        return std::nullopt;
    });
    return r;
}

} // namespace tova
