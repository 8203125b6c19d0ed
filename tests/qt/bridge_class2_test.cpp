// SPDX-License-Identifier: MIT
// PJLink Class 2 on loopback, against the virtual projector: a search finds each projector from
// its own address, notifications follow the projector's power, FREEZE and volume reach the wire,
// inputs are named, and controllers authenticate as they do.
#include "bridge/digest.hpp"
#include "bridge_process.hpp"

#include <gtest/gtest.h>

#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>

using namespace tova;
using namespace tova::test;

namespace {

// A controller's UDP side, on a loopback address of its own at a port it chose.
struct Controller {
    QUdpSocket udp;
    quint16 port = 0;
    std::vector<std::pair<QString, QByteArray>> heard; // sender, datagram
    Controller() {
        EXPECT_TRUE(udp.bind(QHostAddress(QStringLiteral("127.0.0.50")), 0));
        port = udp.localPort();
        QObject::connect(&udp, &QUdpSocket::readyRead, [this] {
            while (udp.hasPendingDatagrams()) {
                const QNetworkDatagram d = udp.receiveDatagram();
                heard.emplace_back(d.senderAddress().toString(), d.data());
            }
        });
    }
    bool waitFor(const QByteArray& datagram, int ms = 10000) {
        return QTest::qWaitFor([&] {
            return std::any_of(heard.begin(), heard.end(), [&](const auto& h) { return h.second == datagram; });
        }, ms);
    }
};

} // namespace

TEST(BridgeClassTwo, ASearchFindsEachProjectorFromItsAddress) {
    SimProcess sim({QStringLiteral("--fast"), QStringLiteral("--projectors"), QStringLiteral("2")});
    Controller controller;
    BridgeProcess bridge(sim.device,
                         {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.21:0/001"), QStringLiteral("--pjlink"),
                          QStringLiteral("127.0.0.22:0/002"), QStringLiteral("--search"),
                          QStringLiteral("127.0.0.1:%1").arg(controller.port)},
                         2);
    ASSERT_TRUE(bridge.saw("PJLink search on"));
    controller.udp.writeDatagram("%2SRCH\r", QHostAddress(QStringLiteral("127.0.0.1")), controller.port);
    // The searcher hears notifications too from now on: only the answers count here.
    auto answers = [&] {
        std::vector<std::pair<QString, QByteArray>> a;
        for (const auto& h : controller.heard)
            if (h.second.startsWith("%2ACKN=")) a.push_back(h);
        return a;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers().size() >= 2; }, 1000)); // within a second
    QTest::qWait(200);
    ASSERT_EQ(answers().size(), 2u);
    std::set<QString> from;
    for (const auto& [sender, datagram] : answers()) {
        from.insert(sender);
        EXPECT_EQ(datagram.size(), 25) << datagram.toStdString();
    }
    EXPECT_EQ(from, (std::set<QString>{QStringLiteral("127.0.0.21"), QStringLiteral("127.0.0.22")}));
}

TEST(BridgeClassTwo, NotificationsFollowThePower) {
    SimProcess sim({QStringLiteral("--fast")});
    Controller controller;
    BridgeProcess bridge(sim.device,
                         {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.21:0"), QStringLiteral("--poll"),
                          QStringLiteral("1"), QStringLiteral("--notify"),
                          QStringLiteral("127.0.0.50:%1").arg(controller.port)},
                         1);
    ASSERT_TRUE(controller.waitFor("%2POWR=0\r")) << bridge.log.toStdString() << controller.heard.size();
    EXPECT_TRUE(controller.heard.front().second.startsWith("%2LKUP=")); // the device is there: to the configured controller
    PjlinkClient c(bridge.ports[0], QHostAddress(QStringLiteral("127.0.0.21")));
    EXPECT_EQ(answerOf(c, "%1POWR 1"), QStringLiteral("%1POWR=OK\r"));
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(controller.waitFor("%2POWR=1\r", 3000));
    EXPECT_LT(t.elapsed(), 1000 + 500); // within a poll period and an exchange
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerOf(c, "%1POWR ?") == QStringLiteral("%1POWR=1\r"); }, 8000));
    ASSERT_TRUE(controller.waitFor("%2INPT=11\r"));
    EXPECT_EQ(answerOf(c, "%1POWR 0"), QStringLiteral("%1POWR=OK\r"));
    auto powers = [&] {
        std::vector<QByteArray> p;
        for (const auto& h : controller.heard)
            if (h.second.startsWith("%2POWR=")) p.push_back(h.second);
        return p;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return powers().size() == 3; }, 3000));
    QTest::qWait(1500); // and nothing more while it stays so
    // Once per change: standby, warming up, cooling down.
    EXPECT_EQ(powers(), (std::vector<QByteArray>{"%2POWR=0\r", "%2POWR=1\r", "%2POWR=0\r"}));
}

TEST(BridgeClassTwo, ClassTwoRequestsReachTheWire) {
    SimProcess sim({QStringLiteral("--fast")});
    BridgeProcess bridge(sim.device, {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0,input-names=PC,Lectern,Video,Camera,Spare")}, 1);
    PjlinkClient c(bridge.ports[0]);
    EXPECT_EQ(answerOf(c, "%1CLSS ?"), QStringLiteral("%1CLSS=2\r"));
    EXPECT_EQ(answerOf(c, "%1POWR 1"), QStringLiteral("%1POWR=OK\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerOf(c, "%1POWR ?") == QStringLiteral("%1POWR=1\r"); }, 8000));
    EXPECT_EQ(answerOf(c, "%2FREZ 1"), QStringLiteral("%2FREZ=OK\r"));
    EXPECT_EQ(answerOf(c, "%2FREZ ?"), QStringLiteral("%2FREZ=1\r"));
    EXPECT_EQ(answerOf(c, "%2SVOL 1"), QStringLiteral("%2SVOL=OK\r"));
    EXPECT_EQ(answerOf(c, "%2INST ?"), QStringLiteral("%2INST=11 12 13 14 15\r"));
    EXPECT_EQ(answerOf(c, "%2INNM ?11"), QStringLiteral("%2INNM=PC\r"));
    EXPECT_EQ(answerOf(c, "%2INNM ?14"), QStringLiteral("%2INNM=Camera\r"));
    QByteArray log;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        log += sim.p.readAllStandardError();
        return log.contains("line: C 4 3 ") && log.contains("line: C 0 9 ");
    }, 3000)) << log.toStdString();
}

TEST(BridgeClassTwo, ControllersAuthenticateAsTheyDo) {
    SimProcess sim({QStringLiteral("--fast")});
    QTemporaryDir dir;
    const QString file = writeFile(dir, "password", "JBMIAProjectorLink\n");
    BridgeProcess bridge(sim.device, {QStringLiteral("--pjlink"), QStringLiteral("127.0.0.1:0"),
                                      QStringLiteral("--password-file"), file}, 1);
    // The digest sent again before every request, as Companion does.
    PjlinkClient again(bridge.ports[0]);
    for (const char* request : {"%1CLSS ?", "%2SNUM ?", "%1POWR ?"})
        EXPECT_TRUE(again.askWith("JBMIAProjectorLink", request).startsWith(QString::fromLatin1(request).left(6) + QLatin1Char('=')))
            << request;
    // Version 2.10: PJLINK 2, then C and the SHA-256 digest.
    for (bool right : {true, false}) {
        PjlinkClient c(bridge.ports[0]);
        const QString answer = c.ask(QStringLiteral("PJLINK 2"));
        ASSERT_TRUE(answer.startsWith(QStringLiteral("PJLINK 2 ")) && answer.size() == 9 + 32 + 1) << answer.toStdString();
        std::string p, cBytes;
        bridge::fromHex(answer.mid(9, 32).toStdString(), p);
        const std::string cHex = "c14b279e603d8a5f17e849ba360f2dc5";
        bridge::fromHex(cHex, cBytes);
        for (std::size_t i = 0; i < cBytes.size(); ++i) cBytes[i] = static_cast<char>(cBytes[i] ^ p[i]);
        const std::string digest = bridge::sha256Hex(bridge::hexOf(cBytes) + (right ? "JBMIAProjectorLink" : "guess"));
        EXPECT_EQ(c.ask(QString::fromStdString(cHex + digest) + QStringLiteral("%1CLSS ?")),
                  right ? QStringLiteral("%1CLSS=2\r") : QStringLiteral("PJLINK ERRA\r"));
    }
}
