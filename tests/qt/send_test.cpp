// SPDX-License-Identifier: MIT
// tova-send as scripts meet it: every line it prints and every exit status, against the virtual
// projector and against peers of the test's own that answer late, refuse, flood or vanish.
#include "processes.hpp"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

using namespace tova::test;

namespace {

Result send(const QString& device, QStringList args) {
    return run(bin("tova-send"), QStringList{QStringLiteral("--device"), device} + args);
}

QStringList codes(std::initializer_list<const char*> c) {
    QStringList out;
    for (const char* s : c) out << QString::fromUtf8(s);
    return out;
}

} // namespace

// A reply that comes late is never printed as the next code's.
TEST(Send, NeverPrintsAnotherCodesReply) {
    SimProcess sim({QStringLiteral("--fast")});
    for (int i = 0; i < 2; ++i) { // a reply left on the line by a run that did not wait for it
        EXPECT_EQ(send(sim.device, codes({"--no-reply", "CR9"})).out, QStringLiteral("\n"));
        const auto r = send(sim.device, codes({"CR0"}));
        EXPECT_EQ(r.out, QStringLiteral("Stand by\n")) << i;
        EXPECT_EQ(r.exitCode, 0);
    }
    // Within one run: CR9's reply comes after its time-out, while CR0 would be on its way.
    ScriptedPeer peer({{"CR9", "TM4\r", 200}, {"CR0", "00\r", 5}}); // 50 ms after its time-out
    auto r = send(peer.path(), codes({"--timeout", "150", "--verbose", "CR9", "CR0"}));
    EXPECT_EQ(r.out, QStringLiteral("\nPower ON\n"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.indexOf(QStringLiteral("discarded 4 bytes arriving late")), -1) << r.err.toStdString();
}

// A run that did not wait leaves its reply to arrive at any moment of the next run: before it
// opens, as it opens, while its own line is out. A reply of another form is never taken as its
// own; a late acknowledgement before the next command's cannot be told apart, and is its.
TEST(Send, ALateReplyInEveryWindowOfTheNextRun) {
    for (int delay : {0, 5, 15, 30, 60, 120, 250}) {
        ScriptedPeer peer({{"CR9", "TM4\r", delay}, {"CR0", "80\r", 5}, {"C00", "\x06", delay}, {"C01", "\x06", 5}});
        auto r = send(peer.path(), codes({"--no-reply", "CR9"}));
        EXPECT_EQ(r.exitCode, 0) << delay << r.err.toStdString();
        r = send(peer.path(), codes({"--verbose", "CR0"}));
        EXPECT_EQ(r.out, QStringLiteral("Stand by\n")) << delay << r.err.toStdString();
        EXPECT_EQ(r.exitCode, 0) << delay << r.err.toStdString();
        r = send(peer.path(), codes({"--no-reply", "C00"}));
        EXPECT_EQ(r.exitCode, 0) << delay << r.err.toStdString();
        r = send(peer.path(), codes({"--verbose", "C01"}));
        EXPECT_EQ(r.out, QStringLiteral("ACK\n")) << delay << r.err.toStdString();
        EXPECT_EQ(r.exitCode, 0) << delay << r.err.toStdString();
    }
}

TEST(Send, CodesFromStandardInputEachPrintedAsItComes) {
    ScriptedPeer peer({{"CR0", "80\r", 5}, {"C00", "\x06", 5}, {"C99", "ERR\r", 5}});
    QProcess p;
    p.start(bin("tova-send"), {QStringLiteral("--device"), peer.path(), QStringLiteral("--stdin")});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    auto line = [&](const char* code) {
        p.write(code);
        const bool printed = QTest::qWaitFor([&] {
            out += p.readAllStandardOutput();
            return out.endsWith('\n');
        }, 5000);
        const QByteArray got = out;
        out.clear();
        return printed ? got : QByteArray("(nothing)");
    };
    EXPECT_EQ(line("CR0\n"), "Stand by\n"); // flushed at once, the input still open
    EXPECT_EQ(line("C00\r\n"), "ACK\n");
    EXPECT_EQ(line("C99\n"), "E R R CR\n");
    p.closeWriteChannel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(p.exitCode(), 3); // as for several codes
    EXPECT_EQ(peer.lines, (std::vector<std::string>{"CR0", "C00", "C99"}));
}

TEST(Send, UntilWaitsForTheProjectorsState) {
    SimProcess sim({QStringLiteral("--fast")}); // on in 3 s
    EXPECT_EQ(send(sim.device, codes({"C00"})).exitCode, 0);
    auto r = send(sim.device, codes({"--until", "Power ON", "--every", "0.5", "--within", "15", "CR0"}));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Power ON\n"));
    r = send(sim.device, codes({"--json", "--until", "Stand by", "--every", "0.2", "--within", "0.5", "CR0"}));
    EXPECT_EQ(r.exitCode, 4);
    const QJsonObject last = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(last[QStringLiteral("decoded")].toString(), QStringLiteral("Power ON"));
    EXPECT_TRUE(last[QStringLiteral("message")].toString().contains(QStringLiteral("not \"Stand by\" within 500 ms")));
}

TEST(Send, EachExitStatusFromItsCause) {
    struct Case {
        std::vector<ScriptedPeer::Row> script;
        QStringList args;
        int status;
        QString out;
    } cases[] = {
        {{{"C00", "\x06", 5}}, codes({"C00"}), 0, QStringLiteral("ACK\n")},
        {{{"C99", "ERR\r", 5}}, codes({"C99"}), 3, QStringLiteral("E R R CR\n")},
        {{{"C99", "\x15", 5}}, codes({"C99"}), 3, QStringLiteral("?\n")},
        {{{"CR0", "\x06", 5}}, codes({"CR0"}), 3, QStringLiteral("ACK\n")},     // a query needs an answer
        {{}, codes({"--timeout", "200", "CR0"}), 1, QStringLiteral("\n")},
        {{{"C99", "ERR\r", 5}}, codes({"--timeout", "200", "C99", "CR0"}), 1, QStringLiteral("E R R CR\n\n")},
        {{{"CR0", "80\r", 5}, {"C99", "ERR\r", 5}, {"CR1", "2\r", 5}}, codes({"CR0", "C99", "CR1"}), 3,
         QStringLiteral("Stand by\nE R R CR\nInput mode 2\n")}, // goes on after a refusal
        {{{"C00", "\x06", 5}}, codes({"C00\r"}), 0, QStringLiteral("ACK\n")}, // a CRLF file's code
        {{{"C0?", "ERR\r", 5}}, codes({"C0\u00e9"}), 3, QStringLiteral("E R R CR\n")}, // one byte
    };
    for (const auto& c : cases) {
        ScriptedPeer peer(c.script);
        const auto r = send(peer.path(), c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, c.out) << c.args.join(' ').toStdString();
        // Each line went out once, framed once.
        std::vector<std::string> sent;
        for (const QString& a : c.args)
            if (!a.startsWith(QLatin1String("--")) && a != QLatin1String("200"))
                sent.push_back(a == QStringLiteral("C0\u00e9") ? "C0?" : a.trimmed().toStdString());
        EXPECT_EQ(peer.lines, sent) << c.args.join(' ').toStdString();
    }
}

TEST(Send, DeviceFailureStopsAtOnce) {
    auto r = send(QStringLiteral("/nonexistent/tty"), codes({"CR0"}));
    EXPECT_EQ(r.exitCode, 2);
    // tova-send has no COM1: the message names the device.
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("tova-send: /nonexistent/tty: no such device"))) << r.err.toStdString();
    r = send(QStringLiteral("/nonexistent/tty"), codes({"--json", "CR0"}));
    EXPECT_EQ(r.exitCode, 2);
    const QJsonObject failed = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(failed[QStringLiteral("status")].toString(), QStringLiteral("device"));
    EXPECT_TRUE(failed[QStringLiteral("message")].toString().startsWith(QStringLiteral("/nonexistent/tty: no such device")));
    // The device vanishes after the first code: the rest are not tried.
    auto peer = std::make_unique<ScriptedPeer>(std::vector<ScriptedPeer::Row>{{"CR0", "80\r", 5}});
    QTimer::singleShot(400, [&] { peer.reset(); });
    r = send(peer->path(), codes({"--timeout", "1500", "CR0", "CR1", "CR3"}));
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Stand by\n"))) << r.out.toStdString();
    EXPECT_LE(r.out.count(QLatin1Char('\n')), 2);
}

TEST(Send, UsageErrorsSayWhichOption) {
    struct Case {
        QStringList args;
        const char* said;
    } cases[] = {
        {codes({"--device", "x", "--timeout", "abc", "CR0"}), "--timeout"},
        {codes({"--device", "x", "--speed", "4800", "CR0"}), "--speed"},
        {codes({"--device", "x", "--address", "005", "CR0"}), "--address"},
        {codes({"CR0"}), "--device"},
        {codes({"--device", "x"}), "CODE"},
        {codes({"--bogus"}), "bogus"},
        {codes({"--device", "x", "--until", "Power ON", "CR0", "CR1"}), "exactly one CODE"},
        {codes({"--device", "x", "--every", "1", "CR0"}), "go with --until"},
        {codes({"--device", "x", "--until", "Power ON", "--every", "0", "CR0"}), "--every"},
        {codes({"--device", "x", "--until", "Power ON", "--within", "soon", "CR0"}), "--within"},
        {codes({"--device", "x", "--stdin", "CR0"}), "not both"},
    };
    for (const auto& c : cases) {
        const auto r = run(bin("tova-send"), c.args);
        EXPECT_EQ(r.exitCode, 64) << c.args.join(' ').toStdString();
        EXPECT_NE(r.err.indexOf(QString::fromLatin1(c.said)), -1) << r.err.toStdString();
    }
}

TEST(Send, JsonLinesParseAndEscape) {
    ScriptedPeer peer({{"CR0", "00\r", 5}, {"C\"\\", "ERR\r", 5}, {"CR9", "a\"b\\c\r", 5}});
    const auto r = send(peer.path(), codes({"--json", "--timeout", "300", "CR0", "C\"\\", "CR9", "CR1"}));
    EXPECT_EQ(r.exitCode, 1);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    struct Expect {
        const char* code;
        const char* status;
        QJsonValue reply, decoded;
    } expect[] = {
        {"CR0", "ok", QStringLiteral(" 0 0 CR "), QStringLiteral("Power ON")},
        {"C\"\\", "refused", QStringLiteral(" E R R CR "), QJsonValue::Null},
        {"CR9", "ok", QStringLiteral(" a \" b \\ c CR "), QStringLiteral("a \" b \\ c CR")},
        {"CR1", "timeout", QJsonValue::Null, QJsonValue::Null},
    };
    for (int i = 0; i < 4; ++i) {
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
        EXPECT_EQ(o[QStringLiteral("code")].toString(), QString::fromLatin1(expect[i].code));
        EXPECT_EQ(o[QStringLiteral("line")].toString(), QString::fromLatin1(expect[i].code) + QLatin1Char('\r'));
        EXPECT_EQ(o[QStringLiteral("status")].toString(), QString::fromLatin1(expect[i].status));
        EXPECT_EQ(o[QStringLiteral("reply")], expect[i].reply) << i;
        EXPECT_EQ(o[QStringLiteral("decoded")], expect[i].decoded) << i;
        EXPECT_EQ(o[QStringLiteral("ms")].isDouble(), i < 3) << i;
    }
}

TEST(Send, ListsEveryCodeFromThePanelsTables) {
    const auto r = run(bin("tova-send"), codes({"--list"}));
    EXPECT_EQ(r.exitCode, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 65 + 19 + 1); // D.Zoom "-" repeats another code than it presses
    for (const char* line : {"C00\tPOWER\tON", "CF INPUT3 SDI1\tInput 3 source\tSDI-1", "C31\tD.Zoom\t- (held)",
                             "CF DZOOM DN\tD.Zoom\t- (held, repeated)", "CR PRESSURE\tStatus queries\tPRESSURE", "C1E\tSingle commands\tDISPLAY CLEAR", "C3F\tMenu arrows\tSELECT (held)"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(line))) << line;
}

// A flood without CR reaches no memory, and a peer that never reads holds nobody.
TEST(Send, BoundedAgainstFloodsAndPeersThatNeverRead) {
    PtyPeer flood;
    QTimer pour;
    std::size_t poured = 0;
    QObject::connect(&pour, &QTimer::timeout, [&] { poured += flood.writeSome(std::string(64 * 1024, 'x')); });
    pour.start(10);
    auto r = send(flood.path(), codes({"--timeout", "700", "CR0"}));
    pour.stop();
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("\n"));
    EXPECT_GT(poured, 256u << 10); // it read on, and kept nothing

    PtyPeer deaf; // never reads what it is sent
    r = send(deaf.path(), QStringList{QStringLiteral("--timeout"), QStringLiteral("500"),
                                      QString(100 * 1024, QLatin1Char('C'))});
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    EXPECT_NE(r.err.indexOf(QStringLiteral("did not take the line within 500 ms")), -1) << r.err.toStdString();
}
