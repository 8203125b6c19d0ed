// tova-send: the panel's protocol from the command line, for scripts.
#include "core/settings.hpp"
#include "link/decoder.hpp"
#include "link/reply_rule.hpp"
#include "link/traffic.hpp"
#include "panel/layout_table.hpp"
#include "qt/program_names.hpp"
#include "qt/qt_serial_control.hpp"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace {

enum Exit { kOk = 0, kTimedOut = 1, kPortFailed = 2 };

bool complete(const std::string& r) { return tova::readReply(r).kind != tova::ReplyKind::Incomplete; }

std::string trimmed(std::string s) {
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    tova::setProgramNames("tova-send");
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Sends projector command codes as the panel frames them (address, code, carriage\n"
        "return) and prints each reply: the decoded words for the nine status queries (CR0,\n"
        "CR1, CR3, CR4, CR6, CR7, CR9, CRA, \"CR PRESSURE\"), the reply's traffic text for\n"
        "other codes (ACK for an acknowledgement). One line per code.\n"
        "Exit status: 0 every code got its reply, 1 a reply timed out (what arrived is\n"
        "printed), 2 the port cannot be used (the serial layer's text on standard error)."));
    p.addHelpOption();
    p.addVersionOption();
    QCommandLineOption device(QStringLiteral("device"),
                              QStringLiteral("Serial device to use (required)."),
                              QStringLiteral("path"));
    QCommandLineOption speed(QStringLiteral("speed"),
                             QStringLiteral("19200 (default) or 9600."), QStringLiteral("baud"),
                             QStringLiteral("19200"));
    QCommandLineOption address(QStringLiteral("address"),
                               QStringLiteral("single (default, no address), all (AFFF), or "
                                              "001 to 004."),
                               QStringLiteral("who"), QStringLiteral("single"));
    QCommandLineOption timeout(QStringLiteral("timeout"),
                               QStringLiteral("Reply time-out in ms (default 2000, 5000 for an "
                                              "input source code)."),
                               QStringLiteral("ms"));
    QCommandLineOption noReply(QStringLiteral("no-reply"),
                               QStringLiteral("Send without waiting for replies."));
    QCommandLineOption raw(QStringLiteral("raw"), QStringLiteral("Print the reply bytes as received."));
    p.addOptions({device, speed, address, timeout, noReply, raw});
    p.addPositionalArgument(QStringLiteral("code"),
                            QStringLiteral("Command codes, e.g. C00 CR0 \"CF INPUT1 VIDEO\"."),
                            QStringLiteral("CODE..."));
    p.process(app);

    const std::string_view* prefix = tova::addressPrefixFor(p.value(address).toStdString());
    const QString baud = p.value(speed);
    bool timeoutOk = true;
    const int fixedTimeout = p.isSet(timeout) ? p.value(timeout).toInt(&timeoutOk) : 0;
    if (!p.isSet(device) || p.positionalArguments().isEmpty() || !prefix ||
        (baud != "19200" && baud != "9600") || !timeoutOk || fixedTimeout < 0) {
        std::fprintf(stderr, "tova-send: needs --device PATH and at least one CODE; --speed 19200 "
                             "or 9600; --address single, all or 001 to 004 (see --help)\n");
        return kPortFailed;
    }

    tova::QtSerialControl serial(p.value(device), p.value(device));
    std::string reply;
    QEventLoop loop;
    serial.setOnComm([&] {
        if (serial.commEvent() == tova::comEvReceive) reply += serial.input();
        if (serial.commEvent() == tova::comEventLost || complete(reply)) loop.quit();
    });
    try {
        serial.setCommPort(1);
        serial.setSettings(tova::LineSettings{baud.toInt()});
        serial.setPortOpen(true);
    } catch (const tova::SerialError& e) {
        std::fprintf(stderr, "tova-send: %s: %s\n", qPrintable(p.value(device)), e.what());
        return kPortFailed;
    }

    int status = kOk;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (const QString& code : p.positionalArguments()) {
        const std::string c = code.toStdString();
        const std::string line = tova::frameLine(*prefix, c);
        reply.clear();
        try {
            serial.output(line);
        } catch (const tova::SerialError& e) {
            std::fprintf(stderr, "tova-send: %s\n", e.what());
            return kPortFailed;
        }
        if (p.isSet(noReply)) continue;
        const int ms = fixedTimeout ? fixedTimeout : c.rfind("CF INPUT", 0) == 0 ? 5000 : 2000;
        timer.start(ms);
        if (!complete(reply)) loop.exec();
        timer.stop();
        if (!serial.portOpen()) {
            std::fprintf(stderr, "tova-send: %s\n", tova::describe(serial.lastFailure()).c_str());
            return kPortFailed;
        }
        const std::string traffic = tova::trafficText(reply);
        if (!complete(reply)) {
            std::fprintf(stderr, "tova-send: no reply to %s within %d ms\n", c.c_str(), ms);
            std::printf("%s\n", p.isSet(raw) ? reply.c_str() : trimmed(traffic).c_str());
            status = kTimedOut;
            continue;
        }
        if (p.isSet(raw)) {
            std::fwrite(reply.data(), 1, reply.size(), stdout);
            std::printf("\n");
            continue;
        }
        auto decoded = tova::decodeReply(line, *prefix, traffic, 0);
        std::printf("%s\n", trimmed(decoded.label22 ? *decoded.label22 : traffic).c_str());
    }
    // Let the last line leave before the port closes.
    while (serial.outputBusy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::fflush(stdout);
    return status;
}
