// SPDX-License-Identifier: MIT
// tova-send: the panel's protocol from the command line, for scripts and show control.
#include "core/settings.hpp"
#include "link/decoder.hpp"
#include "link/traffic.hpp"
#include "panel/layout_table.hpp"
#include "panel/vocabulary.hpp"
#include "qt/command_line.hpp"
#include "qt/json_text.hpp"
#include "qt/line_session.hpp"
#include "qt/program_names.hpp"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

namespace {

// Exit statuses, each with one meaning. Of several outcomes the first in this order wins:
// device failed, a code timed out, a code refused, all well.
enum Exit { kOk = 0, kTimedOut = 1, kDeviceFailed = 2, kRefused = 3 };

int worse(int a, int b) {
    auto rank = [](int s) { return s == kDeviceFailed ? 3 : s == kTimedOut ? 2 : s == kRefused ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

constexpr int kGuardMs = 100; // quiet after a time-out before the next line goes out

enum class Said { Ok, Refused, Timeout, Sent };
const char* name(Said s) {
    switch (s) {
    case Said::Ok: return "ok";
    case Said::Refused: return "refused";
    case Said::Timeout: return "timeout";
    case Said::Sent: return "sent";
    }
    return "";
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN); // a reader that goes away ends us through a failed write
    tova::setProgramNames("tova-send");
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Sends projector command codes as the panel frames them (address, code, carriage\n"
        "return) and prints one line for each code: the decoded words for the nine status\n"
        "queries (CR0, CR1, CR3, CR4, CR6, CR7, CR9, CRA, \"CR PRESSURE\"), the reply's\n"
        "traffic text for other codes (ACK for an acknowledgement), an empty line when no\n"
        "reply came (the message goes to standard error). A reply is complete at a leading\n"
        "ACK or NAK or at its carriage return; a NAK or a reply beginning with ERR is a\n"
        "refusal. Whatever waits on the line before a code is discarded first.\n"
        "\n"
        "Exit status:\n"
        "  0   every code was acknowledged or answered\n"
        "  1   a code got no reply within its time-out\n"
        "  2   the device could not be opened or failed (tova-send stops there)\n"
        "  3   the projector refused a code, or answered a query with a bare ACK\n"
        "  64  a usage error (unknown option, missing or bad value)\n"
        "tova-send goes on through every code after a refusal or a time-out. With several\n"
        "outcomes: 2 if the device failed, else 1 if a code timed out, else 3 if one was\n"
        "refused, else 0."));
    const tova::LineOptions lineOptions;
    QCommandLineOption address(QStringLiteral("address"),
                               QStringLiteral("single (default, no address), all (AFFF), or 001 to 004."),
                               QStringLiteral("who"), QStringLiteral("single"));
    QCommandLineOption timeout(QStringLiteral("timeout"),
                               QStringLiteral("Reply time-out in ms (default 2000, 5000 for a code that "
                                              "switches the input)."),
                               QStringLiteral("ms"));
    QCommandLineOption noReply(QStringLiteral("no-reply"),
                               QStringLiteral("Send without waiting for replies (an empty line each)."));
    QCommandLineOption raw(QStringLiteral("raw"), QStringLiteral("Print the reply bytes as received."));
    QCommandLineOption json(QStringLiteral("json"),
                            QStringLiteral("Print one JSON object per code: code, line, reply (traffic "
                                           "text), decoded (or null), status (ok, refused, timeout, "
                                           "sent), ms."));
    QCommandLineOption list(QStringLiteral("list"),
                            QStringLiteral("Print every command code with its panel group and caption "
                                           "(tab-separated), and end."));
    QCommandLineOption verbose(QStringLiteral("verbose"),
                               QStringLiteral("Tell on standard error what is sent and discarded."));
    p.addOptions({lineOptions.device, lineOptions.speed, address, timeout, noReply, raw, json, list, verbose});
    p.addPositionalArgument(QStringLiteral("code"),
                            QStringLiteral("Command codes, e.g. C00 CR0 \"CF INPUT1 VIDEO\"."),
                            QStringLiteral("CODE..."));
    if (auto o = tova::parseCommandLine(p, tova::argumentsOf(argc, argv)); !o.goOn())
        return tova::finish(o);
    QCoreApplication app(argc, argv);

    if (p.isSet(list)) {
        for (const auto& e : tova::commandVocabulary())
            std::printf("%s\t%.*s\t%s\n", e.code.c_str(), int(e.group.size()), e.group.data(), e.caption.c_str());
        return kOk;
    }
    const std::string_view* prefix = tova::addressPrefixFor(p.value(address).toStdString());
    bool timeoutOk = true;
    const int fixedTimeout = p.isSet(timeout) ? p.value(timeout).toInt(&timeoutOk) : 0;
    auto usage = [](const char* text) { return tova::finish(tova::usageError(QString::fromLatin1(text))); };
    const auto settings = lineOptions.settings(p);
    if (auto* wrong = std::get_if<tova::CommandLineOutcome>(&settings)) return tova::finish(*wrong);
    if (p.positionalArguments().isEmpty()) return usage("give at least one CODE");
    if (!prefix) return usage("--address takes single, all or 001 to 004");
    if (p.isSet(timeout) && (!timeoutOk || fixedTimeout <= 0)) return usage("--timeout takes a number of milliseconds above 0");

    const bool talk = p.isSet(verbose);
    auto note = [&](const std::string& s) {
        if (talk) std::fprintf(stderr, "tova-send: %s\n", s.c_str());
    };
    const QString device = p.value(lineOptions.device);
    tova::QtSerialControl serial(device, device);
    try {
        serial.setCommPort(1);
        serial.setSettings(std::get<tova::LineSettings>(settings));
        serial.setPortOpen(true);
    } catch (const tova::SerialError& e) {
        std::fprintf(stderr, "tova-send: %s\n", e.what());
        return kDeviceFailed;
    }
    tova::LineSession line(serial, note);
    // What waits, and a reply still on its way to a line sent before we opened.
    if (const auto n = line.discardWaiting() + line.discardUntilQuiet(kGuardMs, 2000); n > 0)
        note("discarded " + std::to_string(n) + " bytes waiting after opening");

    int status = kOk;
    for (const QString& arg : p.positionalArguments()) {
        // Typed text: one byte per character; a CRLF file's line ending is not a second line.
        std::string code = tova::typedBytes(arg.toStdString());
        while (!code.empty() && (code.back() == '\r' || code.back() == '\n')) code.pop_back();
        const std::string framed = tova::frameLine(*prefix, code);
        const int ms = fixedTimeout ? fixedTimeout : tova::switchesInput(code) ? 5000 : 2000;
        if (const auto n = line.discardWaiting(); n > 0)
            note("discarded " + std::to_string(n) + " bytes waiting before " + code);
        note("sending" + tova::trafficText(framed));
        const auto o = line.exchange(framed, ms, !p.isSet(noReply));
        if (o.what == tova::LineSession::Outcome::DeviceFailed) {
            std::fprintf(stderr, "tova-send: %s\n", o.failure.c_str());
            status = worse(status, kDeviceFailed);
            break;
        }
        const std::string traffic = tova::trafficText(o.bytes);
        std::optional<std::string> decoded;
        Said said = Said::Ok;
        if (p.isSet(noReply)) {
            said = Said::Sent;
        } else if (o.what == tova::LineSession::Outcome::TimedOut) {
            std::fprintf(stderr, "tova-send: no reply to %s within %d ms\n", code.c_str(), ms);
            status = worse(status, kTimedOut);
            said = Said::Timeout;
            // The late reply may still be on its way: let the line fall quiet first.
            if (const auto n = line.discardUntilQuiet(kGuardMs, ms); n > 0)
                note("discarded " + std::to_string(n) + " bytes arriving late");
        } else if (o.reply.kind == tova::ReplyKind::Refused ||
                   (o.reply.kind == tova::ReplyKind::Acknowledged && tova::isQueryCode(code))) {
            std::fprintf(stderr, "tova-send: %s was refused:%s\n", code.c_str(), traffic.c_str());
            status = worse(status, kRefused);
            said = Said::Refused;
        } else if (o.reply.kind == tova::ReplyKind::Answered) {
            decoded = tova::decodeReply(framed, *prefix, traffic, 0).label22;
        }
        const bool replied = said == Said::Ok || said == Said::Refused;
        if (p.isSet(json)) {
            const std::string object =
                "{\"code\":" + tova::jsonString(code) + ",\"line\":" + tova::jsonString(framed) +
                ",\"reply\":" + (replied ? tova::jsonString(traffic) : "null") +
                ",\"decoded\":" + (decoded ? tova::jsonString(trimmed(*decoded)) : "null") +
                ",\"status\":\"" + name(said) + "\",\"ms\":" + (replied ? std::to_string(o.ms) : "null") + "}";
            std::printf("%s\n", object.c_str());
        } else if (!replied) {
            std::printf("\n");
        } else if (p.isSet(raw)) {
            std::fwrite(o.bytes.data(), 1, o.bytes.size(), stdout);
            std::printf("\n");
        } else {
            std::printf("%s\n", trimmed(decoded ? *decoded : traffic).c_str());
        }
        std::fflush(stdout);
    }
    // The last bytes leave before the port closes; exchange() has waited for them, bounded.
    return status;
}
