// SPDX-License-Identifier: MIT
#include "options/send_options.hpp"

#include "core/host_port.hpp"
#include "core/json.hpp"
#include "core/numbers.hpp"
#include "link/address.hpp"
#include "link/decoder.hpp"
#include "link/traffic.hpp"
#include "tables/layout_table.hpp"

namespace tova {
namespace {

// Each query's values, from the tables, at most 79 columns wide, never breaking a value.
std::string valuesHelp() {
    std::string out = "What each query prints (and --until compares):\n";
    for (const QueryValues& q : queryValues()) {
        std::string row = "  " + std::string(q.code) + ":";
        for (std::size_t i = 0; i < q.values.size(); ++i) {
            const std::string item = q.values[i] + (i + 1 < q.values.size() ? "," : "");
            if (row.size() + 1 + item.size() > 79) {
                out += row + "\n";
                row = "     ";
            }
            row += " " + item;
        }
        out += row + "\n";
    }
    return out;
}

cli::Program sendProgram() {
    cli::Program p{"tova-send", TOVA_VERSION,
                   "Sends projector command codes as the panel frames them (address, code, carriage\n"
                   "return) and prints one line for each code: the value of each of the nine status\n"
                   "queries (CR0, CR1, CR3, CR4, CR6, CR7, CR9, CRA, \"CR PRESSURE\"; listed below),\n"
                   "the reply's traffic text for other codes (ACK for an acknowledgement), an empty\n"
                   "line when no reply came (the message goes to standard error). A reply is complete\n"
                   "at a leading ACK or NAK or at its carriage return; a NAK or a reply beginning with\n"
                   "ERR is a refusal. Whatever waits on the line when the device is opened is\n"
                   "discarded first. A code is one line: one holding a CR, an LF or another control\n"
                   "character is refused (64) before anything is sent.\n"
                   "\n" + valuesHelp() + "\n"
                   "Exit status:\n"
                   "  0   every code was acknowledged or answered (with --until: the reply read so)\n"
                   "  1   a code got no reply within its time-out\n"
                   "  2   the device could not be opened or failed (tova-send stops there)\n"
                   "  3   the projector refused a code, or answered a query with a bare ACK\n"
                   "  4   --until: the reply did not read so within --within\n"
                   "  64  a usage error (unknown option, missing or bad value, a code of more than\n"
                   "      one line)\n"
                   "tova-send goes on through every code after a refusal or a time-out. With several\n"
                   "outcomes: 2 if the device failed, else 1 if a code timed out, else 3 if one was\n"
                   "refused, else 0.",
                   {}};
    p.options = {
        {"device", "path", "The serial device, or tcp://HOST:PORT of a device server (required)."},
        {"speed", "baud", "19200 (default) or 9600.", "19200"},
        {"address", "who", "single (default, no address), all (AFFF), or 001 to 004.", "single"},
        {"timeout", "ms",
         "Reply time-out in ms (default " + std::to_string(send::kDefaultTimeoutMs) + ", " +
             std::to_string(kInputChangeTimeoutMs) + " for a code that switches the input)."},
        {"no-reply", "", "Send without waiting for replies (an empty line each)."},
        {"raw", "", "Print the reply bytes as received."},
        {"json", "",
         "Print one JSON object per code: code, line, reply (traffic text), decoded (or null), value (a "
         "query's, or null), lampHours, temperatures, pressureHpa, status (ok, refused, timeout, sent, device), "
         "message, ms."},
        {"list", "", "Print every command code with its panel group and caption (tab-separated), and end."},
        {"list-ports", "",
         "Print the serial ports this computer has, one per line: the name to give --device, a tab, and the "
         "system's words for the device (one JSON object each with --json); and end. Opens no port."},
        {"verbose", "", "Tell on standard error what is sent and discarded."},
        {"stdin", "",
         "Read the codes from standard input, one per line, the port kept open until the input ends; each "
         "outcome is printed as it comes."},
        {"until", "text",
         "Send the one CODE again until what tova-send prints for its reply is <text> (exit 0), the projector "
         "refuses it (3), the device fails (2) or --within passes (4). Only the last outcome is printed."},
        {"every", "seconds", "--until: a try every <seconds> (decimal; default 1)."},
        {"within", "seconds", "--until: give up after <seconds> (decimal; default 60)."},
    };
    p.arguments = "CODE...";
    p.argumentName = "code";
    p.argumentHelp = "Command codes, e.g. C00 CR0 \"CF INPUT1 VIDEO\".";
    return p;
}

// Decimal seconds, as a script writes them (0.5, 2, 30), in milliseconds.
std::optional<int> milliseconds(const std::string& text) {
    const auto s = decimalNumber(text);
    if (!s || *s <= 0 || *s > 86400) return std::nullopt;
    const int ms = static_cast<int>(*s * 1000 + 0.5);
    return ms > 0 ? std::optional(ms) : std::nullopt;
}

} // namespace

std::string portListing(const std::vector<SerialPortInfo>& ports, bool json) {
    std::string out;
    for (const SerialPortInfo& p : ports)
        out += json ? dumpJson(Json{{"device", p.path}, {"description", p.description}}) + "\n"
                    : p.path + (p.description.empty() ? "" : "\t" + p.description) + "\n";
    return out;
}

SendCommandLine parseSendCommandLine(const std::vector<std::string>& arguments) {
    SendCommandLine r;
    SendOptions& o = r.options;
    r.outcome = cli::parse(sendProgram(), arguments, [&](const cli::Arguments& a) -> std::optional<std::string> {
        if (a.isSet("list")) {
            o.list = true;
            return std::nullopt;
        }
        if (a.isSet("list-ports")) {
            o.listPorts = true;
            o.json = a.isSet("json");
            return std::nullopt;
        }
        if (!a.isSet("device")) return "--device is required";
        const auto speed = parseSpeed(a.value("speed"));
        if (!speed) return "--speed " + std::string(kSpeedRule);
        o.settings = LineSettings{*speed};
        o.device = a.value("device");
        if (const auto why = deviceServerProblem(o.device)) return "--device " + *why;
        send::Options& run = o.run;
        run.fromInput = a.isSet("stdin");
        const auto& codes = a.positional();
        if (run.fromInput && !codes.empty()) return "give the codes on the command line or with --stdin, not both";
        if (!run.fromInput && codes.empty()) return "give at least one CODE";
        if (a.isSet("until")) {
            if (run.fromInput || codes.size() != 1) return "--until takes exactly one CODE";
            if (a.isSet("no-reply")) return "--until needs the reply: not with --no-reply";
            run.until = a.value("until");
            for (auto [name, ms, example] : {std::tuple{"every", &run.everyMs, "0.5"}, std::tuple{"within", &run.withinMs, "30"}}) {
                if (!a.isSet(name)) continue;
                const auto given = milliseconds(a.value(name));
                if (!given) return "--" + std::string(name) + " takes seconds above 0, e.g. " + example;
                *ms = *given;
            }
        } else if (a.isSet("every") || a.isSet("within")) {
            return "--every and --within go with --until";
        }
        const auto target = addressTargetFor(a.value("address"));
        if (!target) return "--address takes single, all or 001 to 004";
        run.prefix = prefixFor(*target);
        if (a.isSet("timeout")) {
            const auto ms = wholeNumber(a.value("timeout"));
            if (!ms || *ms <= 0) return "--timeout takes a number of milliseconds above 0";
            run.timeoutMs = *ms;
        }
        for (std::size_t i = 0; i < codes.size(); ++i)
            if (const auto at = controlCharacter(codes[i]))
                return "code " + std::to_string(i + 1) + ", " + quotedTyped(codes[i]) + ", holds a control character (" + *at +
                       "): a code is one line, and nothing was sent";
        run.codes = codes;
        run.noReply = a.isSet("no-reply");
        run.raw = a.isSet("raw");
        run.json = a.isSet("json");
        run.verbose = a.isSet("verbose");
        return std::nullopt;
    });
    return r;
}

} // namespace tova
