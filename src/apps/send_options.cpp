// SPDX-License-Identifier: MIT
#include "apps/send_options.hpp"

#include "tables/layout_table.hpp"
#include "tables/vocabulary.hpp"
#include "link/address.hpp"

namespace tova {

SendOptions parseSendOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Sends projector command codes as the panel frames them (address, code, carriage\n"
        "return) and prints one line for each code: the decoded words for the nine status\n"
        "queries (CR0, CR1, CR3, CR4, CR6, CR7, CR9, CRA, \"CR PRESSURE\"), the reply's\n"
        "traffic text for other codes (ACK for an acknowledgement), an empty line when no\n"
        "reply came (the message goes to standard error). A reply is complete at a leading\n"
        "ACK or NAK or at its carriage return; a NAK or a reply beginning with ERR is a\n"
        "refusal. Whatever waits on the line when the device is opened is discarded first.\n"
        "\n"
        "Exit status:\n"
        "  0   every code was acknowledged or answered (with --until: the reply read so)\n"
        "  1   a code got no reply within its time-out\n"
        "  2   the device could not be opened or failed (tova-send stops there)\n"
        "  3   the projector refused a code, or answered a query with a bare ACK\n"
        "  4   --until: the reply did not read so within --within\n"
        "  64  a usage error (unknown option, missing or bad value)\n"
        "tova-send goes on through every code after a refusal or a time-out. With several\n"
        "outcomes: 2 if the device failed, else 1 if a code timed out, else 3 if one was\n"
        "refused, else 0."));
    const LineOptions lineOptions;
    QCommandLineOption address(QStringLiteral("address"),
                               QStringLiteral("single (default, no address), all (AFFF), or 001 to 004."),
                               QStringLiteral("who"), QStringLiteral("single"));
    QCommandLineOption timeout(QStringLiteral("timeout"),
                               QStringLiteral("Reply time-out in ms (default %1, %2 for a code that switches the "
                                              "input).")
                                   .arg(send::kDefaultTimeoutMs)
                                   .arg(kInputChangeTimeoutMs),
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
    QCommandLineOption input(QStringLiteral("stdin"),
                             QStringLiteral("Read the codes from standard input, one per line, the port kept open "
                                            "until the input ends; each outcome is printed as it comes."));
    QCommandLineOption until(QStringLiteral("until"),
                             QStringLiteral("Send the one CODE again until what tova-send prints for its reply is "
                                            "<text> (exit 0), the projector refuses it (3), the device fails (2) or "
                                            "--within passes (4). Only the last outcome is printed."),
                             QStringLiteral("text"));
    QCommandLineOption every(QStringLiteral("every"),
                             QStringLiteral("--until: a try every <seconds> (decimal; default 1)."), QStringLiteral("seconds"));
    QCommandLineOption within(QStringLiteral("within"),
                              QStringLiteral("--until: give up after <seconds> (decimal; default 60)."), QStringLiteral("seconds"));
    p.addOptions({lineOptions.device, lineOptions.speed, address, timeout, noReply, raw, json, list, verbose, input, until,
                  every, within});
    p.addPositionalArgument(QStringLiteral("code"), QStringLiteral("Command codes, e.g. C00 CR0 \"CF INPUT1 VIDEO\"."),
                            QStringLiteral("CODE..."));
    SendOptions r;
    r.outcome = parseCommandLine(p, arguments);
    if (!r.outcome.goOn()) return r;
    if (p.isSet(list)) {
        QString out;
        for (const auto& e : commandVocabulary())
            out += QStringLiteral("%1\t%2\t%3\n")
                       .arg(QString::fromStdString(e.code), QString::fromUtf8(e.group.data(), qsizetype(e.group.size())),
                            QString::fromStdString(e.caption));
        r.outcome = {0, out, true};
        return r;
    }
    auto usage = [&](const char* text) {
        r.outcome = usageError(QString::fromLatin1(text));
        return r;
    };
    const auto settings = lineOptions.settings(p);
    if (auto* wrong = std::get_if<CommandLineOutcome>(&settings)) {
        r.outcome = *wrong;
        return r;
    }
    r.settings = std::get<LineSettings>(settings);
    r.device = p.value(lineOptions.device);
    r.run.fromInput = p.isSet(input);
    if (r.run.fromInput && !p.positionalArguments().isEmpty()) return usage("give the codes on the command line or with --stdin, not both");
#ifndef Q_OS_UNIX
    // Standard input is read beside the event loop through a notifier, which Windows has for sockets only.
    if (r.run.fromInput) return usage("--stdin is for POSIX systems; on Windows give the codes on the command line");
#endif
    if (!r.run.fromInput && p.positionalArguments().isEmpty()) return usage("give at least one CODE");
    // Decimal seconds, as a script writes them: 0.5, 2, 30.
    auto seconds = [&](const QCommandLineOption& o, int& ms) {
        bool ok = false;
        const double s = p.value(o).toDouble(&ok);
        if (!ok || s <= 0 || s > 86400) return false;
        ms = static_cast<int>(s * 1000 + 0.5);
        return ms > 0;
    };
    if (p.isSet(until)) {
        if (r.run.fromInput || p.positionalArguments().size() != 1) return usage("--until takes exactly one CODE");
        if (p.isSet(noReply)) return usage("--until needs the reply: not with --no-reply");
        r.run.until = p.value(until).toStdString();
        if (p.isSet(every) && !seconds(every, r.run.everyMs)) return usage("--every takes seconds above 0, e.g. 0.5");
        if (p.isSet(within) && !seconds(within, r.run.withinMs)) return usage("--within takes seconds above 0, e.g. 30");
    } else if (p.isSet(every) || p.isSet(within)) {
        return usage("--every and --within go with --until");
    }
    const auto target = addressTargetFor(p.value(address).toStdString());
    if (!target) return usage("--address takes single, all or 001 to 004");
    r.run.prefix = prefixFor(*target);
    if (p.isSet(timeout)) {
        bool ok = false;
        const int ms = p.value(timeout).toInt(&ok);
        if (!ok || ms <= 0) return usage("--timeout takes a number of milliseconds above 0");
        r.run.timeoutMs = ms;
    }
    for (const QString& code : p.positionalArguments()) r.run.codes.push_back(code.toStdString());
    r.run.noReply = p.isSet(noReply);
    r.run.raw = p.isSet(raw);
    r.run.json = p.isSet(json);
    r.run.verbose = p.isSet(verbose);
    return r;
}

} // namespace tova
