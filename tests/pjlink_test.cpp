// SPDX-License-Identifier: MIT
// PJLink Class 1 on the fake clock: every row of the mapping, every error, the digest, the
// limits of a request and the idle close.
#include "bridge/bridge_settings.hpp"
#include "bridge/digest.hpp"
#include "bridge/pjlink/pjlink_session.hpp"
#include "bridge/shared_line.hpp"
#include "pjlink_rig.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::bridge;
using namespace tova::test;


// Each request, the lines it puts on the wire, the projector's replies and the answer.
TEST(Pjlink, EveryRowOfTheMapping) {
    struct Row {
        const char* request;
        std::map<std::string, std::string> projector; // line sent: reply ("" none)
        const char* answer;
        std::vector<std::string> lines;
    } rows[] = {
        {"%1POWR 1", {{"C00\r", "\x06"}}, "%1POWR=OK\r", {"C00\r"}},
        {"%1POWR 0", {{"C01\r", "\x06"}}, "%1POWR=OK\r", {"C01\r"}},
        {"%1POWR 1", {{"C00\r", "ERR\r"}}, "%1POWR=ERR3\r", {"C00\r"}},
        {"%1POWR 1", {{"C00\r", "\x15"}}, "%1POWR=ERR3\r", {"C00\r"}},
        {"%1POWR 1", {}, "%1POWR=ERR4\r", {"C00\r"}},
        {"%1POWR 1", {{"C00\r", "00\r"}}, "%1POWR=ERR4\r", {"C00\r"}}, // not an acknowledgement
        {"%1POWR ?", {{"CR0\r", "00\r"}}, "%1POWR=1\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "08\r"}}, "%1POWR=1\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "02\r"}}, "%1POWR=1\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "80\r"}}, "%1POWR=0\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "04\r"}}, "%1POWR=0\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "24\r"}}, "%1POWR=0\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "88\r"}}, "%1POWR=0\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "81\r"}}, "%1POWR=0\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "20\r"}}, "%1POWR=2\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "28\r"}}, "%1POWR=2\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "21\r"}}, "%1POWR=2\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "40\r"}}, "%1POWR=3\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "10\r"}}, "%1POWR=ERR4\r", {"CR0\r"}},
        {"%1POWR ?", {{"CR0\r", "A0\r"}}, "%1POWR=ERR4\r", {"CR0\r"}},
        {"%1POWR ?", {}, "%1POWR=ERR4\r", {"CR0\r"}},
        {"%1POWRx?", {{"CR0\r", "00\r"}}, "%1POWR=ERR2\r", {}}, // no blank after the command
        {"%1INPT 11", {{"C05\r", "\x06"}}, "%1INPT=OK\r", {"C05\r"}},
        {"%1INPT 12", {{"C06\r", "\x06"}}, "%1INPT=OK\r", {"C06\r"}},
        {"%1INPT 13", {{"C07\r", "\x06"}}, "%1INPT=OK\r", {"C07\r"}},
        {"%1INPT 14", {{"C08\r", "\x06"}}, "%1INPT=OK\r", {"C08\r"}},
        {"%1INPT 15", {{"C03\r", "\x06"}}, "%1INPT=OK\r", {"C03\r"}},
        {"%1INPT 15", {{"C03\r", "ERR\r"}}, "%1INPT=ERR3\r", {"C03\r"}},
        {"%1INPT 21", {}, "%1INPT=ERR2\r", {}},
        {"%1INPT ?", {{"CR1\r", "3\r"}}, "%1INPT=13\r", {"CR1\r"}},
        {"%1INPT ?", {{"CR1\r", "6\r"}}, "%1INPT=ERR4\r", {"CR1\r"}},
        {"%1INST ?", {}, "%1INST=11 12 13 14 15\r", {}},
        {"%1AVMT 11", {{"C0D\r", "\x06"}}, "%1AVMT=OK\r", {"C0D\r"}},
        {"%1AVMT 10", {{"C0E\r", "\x06"}}, "%1AVMT=OK\r", {"C0E\r"}},
        {"%1AVMT 21", {{"C0B\r", "\x06"}}, "%1AVMT=OK\r", {"C0B\r"}},
        {"%1AVMT 20", {{"C0C\r", "\x06"}}, "%1AVMT=OK\r", {"C0C\r"}},
        {"%1AVMT 31", {{"C0D\r", "\x06"}, {"C0B\r", "\x06"}}, "%1AVMT=OK\r", {"C0D\r", "C0B\r"}},
        {"%1AVMT 30", {{"C0E\r", "\x06"}, {"C0C\r", "\x06"}}, "%1AVMT=OK\r", {"C0E\r", "C0C\r"}},
        {"%1AVMT 31", {{"C0D\r", "ERR\r"}}, "%1AVMT=ERR3\r", {"C0D\r"}}, // the second is not tried
        {"%1AVMT 31", {{"C0D\r", "\x06"}, {"C0B\r", "ERR\r"}}, "%1AVMT=ERR3\r", {"C0D\r", "C0B\r"}},
        {"%1AVMT 12", {}, "%1AVMT=ERR2\r", {}},
        // Both digits at each edge: the kind 1 to 3, the state 0 or 1, two digits exactly.
        {"%1AVMT 01", {}, "%1AVMT=ERR2\r", {}},
        {"%1AVMT 41", {}, "%1AVMT=ERR2\r", {}},
        {"%1AVMT 1/", {}, "%1AVMT=ERR2\r", {}},
        {"%1AVMT 311", {}, "%1AVMT=ERR2\r", {}},
        {"%1AVMT 3", {}, "%1AVMT=ERR2\r", {}},
        {"%1AVMT ?", {{"CRA\r", "00\r"}}, "%1AVMT=30\r", {"CRA\r"}},
        {"%1AVMT ?", {{"CRA\r", "01\r"}}, "%1AVMT=11\r", {"CRA\r"}},
        {"%1AVMT ?", {{"CRA\r", "02\r"}}, "%1AVMT=21\r", {"CRA\r"}},
        {"%1AVMT ?", {{"CRA\r", "03\r"}}, "%1AVMT=31\r", {"CRA\r"}},
        {"%1AVMT ?", {{"CRA\r", "80\r"}}, "%1AVMT=ERR3\r", {"CRA\r"}}, // nothing set yet
        {"%1AVMT ?", {{"CRA\r", "FF\r"}}, "%1AVMT=ERR3\r", {"CRA\r"}},
        {"%1AVMT ?", {{"CRA\r", "7\r"}}, "%1AVMT=ERR4\r", {"CRA\r"}},
        {"%1ERST ?", {{"CR0\r", "00\r"}}, "%1ERST=000000\r", {"CR0\r"}},
        {"%1ERST ?", {{"CR0\r", "21\r"}}, "%1ERST=020000\r", {"CR0\r"}},
        {"%1ERST ?", {{"CR0\r", "81\r"}}, "%1ERST=020000\r", {"CR0\r"}},
        {"%1ERST ?", {{"CR0\r", "08\r"}}, "%1ERST=001000\r", {"CR0\r"}},
        {"%1ERST ?", {{"CR0\r", "28\r"}}, "%1ERST=001000\r", {"CR0\r"}},
        {"%1ERST ?", {{"CR0\r", "24\r"}}, "%1ERST=001000\r", {"CR0\r"}},
        {"%1ERST ?", {{"CR0\r", "88\r"}}, "%1ERST=001000\r", {"CR0\r"}},
        {"%1ERST ?", {{"CR0\r", "10\r"}}, "%1ERST=000002\r", {"CR0\r"}},
        {"%1ERST ?", {{"CR0\r", "77\r"}}, "%1ERST=ERR4\r", {"CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "01234\r"}, {"CR7\r", "03\r"}, {"CR0\r", "00\r"}}, "%1LAMP=1234 1 1234 1\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "01234\r"}, {"CR7\r", "01\r"}, {"CR0\r", "00\r"}}, "%1LAMP=1234 1 1234 0\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "01234\r"}, {"CR7\r", "02\r"}, {"CR0\r", "08\r"}}, "%1LAMP=1234 0 1234 1\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "01234\r"}, {"CR7\r", "00\r"}, {"CR0\r", "00\r"}}, "%1LAMP=1234 0 1234 0\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "00000\r"}, {"CR7\r", "01\r"}, {"CR0\r", "00\r"}}, "%1LAMP=0 1 0 0\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "h 12\r"}, {"CR7\r", "11\r"}, {"CR0\r", "40\r"}}, "%1LAMP=12 1\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "12\r"}, {"CR7\r", "10\r"}, {"CR0\r", "00\r"}}, "%1LAMP=12 0\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "12\r"}, {"CR7\r", "22\r"}, {"CR0\r", "02\r"}}, "%1LAMP=12 1\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "12\r"}, {"CR7\r", "20\r"}, {"CR0\r", "00\r"}}, "%1LAMP=12 0\r", {"CR3\r", "CR7\r", "CR0\r"}},
        // A lamp in use is not lit in standby, cooling down or a power failure.
        {"%1LAMP ?", {{"CR3\r", "01234\r"}, {"CR7\r", "03\r"}, {"CR0\r", "80\r"}}, "%1LAMP=1234 0 1234 0\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "12\r"}, {"CR7\r", "11\r"}, {"CR0\r", "20\r"}}, "%1LAMP=12 0\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "12\r"}, {"CR7\r", "22\r"}, {"CR0\r", "10\r"}}, "%1LAMP=12 0\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "none\r"}, {"CR7\r", "03\r"}, {"CR0\r", "00\r"}}, "%1LAMP=ERR4\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "123456\r"}, {"CR7\r", "03\r"}, {"CR0\r", "00\r"}}, "%1LAMP=ERR4\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "12\r"}, {"CR7\r", "33\r"}, {"CR0\r", "00\r"}}, "%1LAMP=ERR4\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {{"CR3\r", "12\r"}, {"CR7\r", "03\r"}}, "%1LAMP=ERR4\r", {"CR3\r", "CR7\r", "CR0\r"}},
        {"%1LAMP ?", {}, "%1LAMP=ERR4\r", {"CR3\r"}},
        {"%1NAME ?", {}, "%1NAME=TOVA M4\r", {}},
        {"%1INF1 ?", {}, "%1INF1=TOVA\r", {}},
        {"%1INF2 ?", {{"CR9\r", "TM4-SIM\r"}}, "%1INF2=TM4-SIM\r", {"CR9\r"}},
        {"%1INF2 ?", {{"CR9\r", std::string(40, 'M') + "\r"}}, "%1INF2=MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM\r", {"CR9\r"}},
        {"%1INFO ?", {}, "%1INFO=tova-bridge 1.40.0\r", {}},
        {"%1CLSS ?", {}, "%1CLSS=2\r", {}},
        // Class 1's commands under %2: ERR1, with the request's header.
        {"%2POWR ?", {}, "%2POWR=ERR1\r", {}},
        {"%2AVMT 11", {}, "%2AVMT=ERR1\r", {}},
        {"%2ERST ?", {}, "%2ERST=ERR1\r", {}},
        {"%2LAMP ?", {}, "%2LAMP=ERR1\r", {}},
        {"%2NAME ?", {}, "%2NAME=ERR1\r", {}},
        {"%2INF1 ?", {}, "%2INF1=ERR1\r", {}},
        {"%2INF2 ?", {}, "%2INF2=ERR1\r", {}},
        {"%2INFO ?", {}, "%2INFO=ERR1\r", {}},
        {"%2CLSS ?", {}, "%2CLSS=ERR1\r", {}},
        // INPT and INST under both headers.
        {"%2INPT 12", {{"C06\r", "\x06"}}, "%2INPT=OK\r", {"C06\r"}},
        {"%2INPT ?", {{"CR1\r", "2\r"}}, "%2INPT=12\r", {"CR1\r"}},
        {"%2INPT 21", {}, "%2INPT=ERR2\r", {}},
        {"%2INPT 12", {{"C06\r", "ERR\r"}}, "%2INPT=ERR3\r", {"C06\r"}},
        {"%2INPT 12", {}, "%2INPT=ERR4\r", {"C06\r"}},
        {"%2INST ?", {}, "%2INST=11 12 13 14 15\r", {}},
        {"%2INST 1", {}, "%2INST=ERR2\r", {}},
        // Class 2's own, under %2 only.
        {"%2FREZ 1", {{"C43\r", "\x06"}}, "%2FREZ=OK\r", {"C43\r"}},
        {"%2FREZ 0", {{"C44\r", "\x06"}}, "%2FREZ=OK\r", {"C44\r"}},
        {"%2FREZ 1", {{"C43\r", "ERR\r"}}, "%2FREZ=ERR3\r", {"C43\r"}},
        {"%2FREZ 1", {}, "%2FREZ=ERR4\r", {"C43\r"}},
        {"%2FREZ 2", {}, "%2FREZ=ERR2\r", {}},
        {"%2FREZ ?", {}, "%2FREZ=ERR3\r", {}}, // nothing set through the bridge yet
        {"%1FREZ 1", {}, "%1FREZ=ERR1\r", {}},
        {"%2SVOL 1", {{"C09\r", "\x06"}}, "%2SVOL=OK\r", {"C09\r"}},
        {"%2SVOL 0", {{"C0A\r", "\x06"}}, "%2SVOL=OK\r", {"C0A\r"}},
        {"%2SVOL 0", {{"C0A\r", "ERR\r"}}, "%2SVOL=ERR3\r", {"C0A\r"}},
        {"%2SVOL 0", {}, "%2SVOL=ERR4\r", {"C0A\r"}},
        {"%2SVOL 2", {}, "%2SVOL=ERR2\r", {}},
        {"%1SVOL 1", {}, "%1SVOL=ERR1\r", {}},
        {"%2MVOL 1", {}, "%2MVOL=ERR1\r", {}}, // no microphone
        {"%2INNM ?11", {}, "%2INNM=Input mode 1\r", {}},
        {"%2INNM ?15", {}, "%2INNM=Input mode 5\r", {}},
        {"%2INNM ?21", {}, "%2INNM=ERR2\r", {}},
        {"%2INNM ?", {}, "%2INNM=ERR2\r", {}},
        {"%1INNM ?11", {}, "%1INNM=ERR1\r", {}},
        {"%2SNUM ?", {}, "%2SNUM=\r", {}}, // not known: the empty value
        {"%2SVER ?", {}, "%2SVER=\r", {}},
        {"%2RLMP ?", {}, "%2RLMP=\r", {}},
        {"%2RFIL ?", {}, "%2RFIL=\r", {}},
        {"%2SNUM 1", {}, "%2SNUM=ERR2\r", {}},
        {"%1SNUM ?", {}, "%1SNUM=ERR1\r", {}},
        {"%2FILT ?", {}, "%2FILT=ERR1\r", {}}, // no filter counter
        {"%2IRES ?", {}, "%2IRES=ERR1\r", {}}, // the resolution is not told
        {"%2RRES ?", {}, "%2RRES=ERR1\r", {}},
        {"%3POWR ?", {}, "%3POWR=ERR1\r", {}},
        {"%2XXXX ?", {}, "%2XXXX=ERR1\r", {}},
        // Errors.
        {"%1XXXX ?", {}, "%1XXXX=ERR1\r", {}},
        {"%1powr ?", {}, "%1powr=ERR1\r", {}},
        {"%1POWR 2", {}, "%1POWR=ERR2\r", {}},
        {"%1ERST 1", {}, "%1ERST=ERR2\r", {}},
        {"%1CLSS 1", {}, "%1CLSS=ERR2\r", {}},
        {"%1POWR", {}, "%1POWR=ERR2\r", {}},
    };
    for (const auto& row : rows) {
        PjlinkRig r;
        r.answers = row.projector;
        EXPECT_EQ(r.ask(row.request), row.answer) << row.request;
        EXPECT_EQ(r.serial.writes, row.lines) << row.request;
        EXPECT_FALSE(r.closed) << row.request;
    }
}

TEST(Pjlink, TheOptionsOfAListener) {
    ProjectorConfig c;
    c.prefix = "A002";
    c.name = "Hall left";
    c.inputs = *parseInputs("11,31,21,22,32");
    PjlinkRig r(c);
    r.answers = {{"A002C06\r", "\x06"}, {"A002CR1\r", "2\r"}};
    EXPECT_EQ(r.ask("%1INPT 31"), "%1INPT=OK\r");
    EXPECT_EQ(r.ask("%1INPT ?"), "%1INPT=31\r");
    EXPECT_EQ(r.ask("%1INPT 11"), "%1INPT=ERR4\r"); // input mode 1: no reply from this projector
    EXPECT_EQ(r.ask("%1INST ?"), "%1INST=11 31 21 22 32\r");
    EXPECT_EQ(r.ask("%1NAME ?"), "%1NAME=Hall left\r");
    EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"A002C06\r", "A002CR1\r", "A002C05\r"}));
    for (const char* bad : {"11,12", "11 12 13 14 15 16", "71 12 13 14 15", "10 12 13 14 15", "1a,12,13,14,15"})
        EXPECT_EQ(parseInputs(bad), std::nullopt) << bad;
}

// A listener's Class 2 settings, and inputs of Class 2's forms, which a Class 1 client never sees.
TEST(Pjlink, ClassTwoSettingsOfAListener) {
    ProjectorConfig c;
    c.inputs = *parseInputs("11,61,6A,22,32");
    c.inputNames = *parseInputNames("Stage PC,Lectern,Internal player,Camera,Spare");
    c.serial = "TM4-0001234";
    c.version = "1.40";
    c.lampModel = "LMP-1 LMP-2";
    c.filterModel = "FLT-9";
    PjlinkRig r(c);
    r.answers = {{"C07\r", "\x06"}, {"CR1\r", "3\r"}};
    const std::pair<const char*, const char*> steps[] = {
        {"%1INST ?", "%1INST=11 22 32\r"},         {"%2INST ?", "%2INST=11 61 6A 22 32\r"},
        {"%1INPT 6A", "%1INPT=ERR2\r"},             {"%1INPT 61", "%1INPT=ERR2\r"},
        {"%2INPT 6A", "%2INPT=OK\r"},
        {"%2INPT ?", "%2INPT=6A\r"},                {"%2INNM ?6A", "%2INNM=Internal player\r"},
        {"%2SNUM ?", "%2SNUM=TM4-0001234\r"},       {"%2SVER ?", "%2SVER=1.40\r"},
        {"%2RLMP ?", "%2RLMP=LMP-1 LMP-2\r"},       {"%2RFIL ?", "%2RFIL=FLT-9\r"},
    };
    for (const auto& [request, answer] : steps) EXPECT_EQ(r.ask(request), answer) << request;
    for (const char* bad : {"a,b,c,d", "a,b,c,d,e,f", "a,,c,d,e"}) EXPECT_EQ(parseInputNames(bad), std::nullopt) << bad;
}

// FREEZE as set through the bridge answers FREZ ?, until the projector comes on again.
TEST(Pjlink, FreezeIsToldAsSetSinceTheProjectorCameOn) {
    PjlinkRig r;
    r.answers = {{"C43\r", "\x06"}, {"C44\r", "\x06"}, {"CR0\r", "00\r"}};
    const std::pair<const char*, const char*> steps[] = {
        {"%2FREZ ?", "%2FREZ=ERR3\r"}, {"%2FREZ 1", "%2FREZ=OK\r"}, {"%2FREZ ?", "%2FREZ=1\r"},
        {"%1POWR ?", "%1POWR=1\r"},    {"%2FREZ ?", "%2FREZ=1\r"},  {"%2FREZ 0", "%2FREZ=OK\r"},
        {"%2FREZ ?", "%2FREZ=0\r"},
    };
    for (const auto& [request, answer] : steps) EXPECT_EQ(r.ask(request), answer) << request;
    r.answers["CR0\r"] = "80\r";
    EXPECT_EQ(r.ask("%1POWR ?"), "%1POWR=0\r");
    EXPECT_EQ(r.ask("%2FREZ ?"), "%2FREZ=ERR3\r"); // in standby: not so now
    r.answers["CR0\r"] = "40\r";
    EXPECT_EQ(r.ask("%1POWR ?"), "%1POWR=3\r");
    EXPECT_EQ(r.ask("%2FREZ ?"), "%2FREZ=0\r"); // seen to come on: not frozen, until frozen again
    EXPECT_EQ(r.ask("%2FREZ 1"), "%2FREZ=OK\r");
    EXPECT_EQ(r.ask("%2FREZ ?"), "%2FREZ=1\r");
}

TEST(Pjlink, InputChangesWaitFiveSeconds) {
    PjlinkRig r;
    r.session->received("%1INPT 12\r");
    r.clock.advance(4999);
    EXPECT_EQ(r.sent, "");
    r.serial.receive("\x06"); // acknowledged after switching
    EXPECT_EQ(r.sent, "%1INPT=OK\r");
    r.sent.clear();
    r.session->received("%1POWR ?\r");
    r.clock.advance(499);
    EXPECT_EQ(r.sent, "");
    r.clock.advance(1);
    EXPECT_EQ(r.sent, "%1POWR=ERR4\r");
}

TEST(Pjlink, TheMuteSetThroughTheBridgeAnswersForNoSignal) {
    PjlinkRig r;
    r.answers = {{"C0D\r", "\x06"}, {"C0C\r", "\x06"}, {"CRA\r", "80\r"}, {"C0B\r", "\x06"}};
    struct Step {
        const char* request;
        const char* answer;
    } steps[] = {{"%1AVMT ?", "%1AVMT=ERR3\r"}, {"%1AVMT 11", "%1AVMT=OK\r"}, {"%1AVMT ?", "%1AVMT=11\r"},
                 {"%1AVMT 21", "%1AVMT=OK\r"},  {"%1AVMT ?", "%1AVMT=31\r"}, {"%1AVMT 20", "%1AVMT=OK\r"},
                 {"%1AVMT ?", "%1AVMT=11\r"}};
    for (const auto& s : steps) EXPECT_EQ(r.ask(s.request), s.answer) << s.request;
}







TEST(Pjlink, ListenerSpecs) {
    struct Case {
        const char* text;
        ClientKind kind;
        std::string host;
        int port;
        std::string prefix, name, inputs, error; // error: a word of the message
        int maxClients = 0;
    } cases[] = {
        {"127.0.0.1:4352", ClientKind::Pjlink, "127.0.0.1", 4352, "", "", "", ""},
        {"192.0.2.21:4352/001,name=Hall left", ClientKind::Pjlink, "192.0.2.21", 4352, "A001", "Hall left", "", ""},
        {"[::1]:0/004,inputs=11,31,21,22,32,name=Side, stage", ClientKind::Pjlink, "::1", 0, "A004", "Side, stage",
         "11 31 21 22 32", ""},
        {"localhost:4352,max-clients=4", ClientKind::Pjlink, "localhost", 4352, "", "", "", "", 4},
        {"127.0.0.1:4001,max-clients=2", ClientKind::SharedLine, "127.0.0.1", 4001, "", "", "", "", 2},
        {"localhost:4352/005", ClientKind::Pjlink, "", 0, "", "", "", "/001 to /004"},
        {"4352", ClientKind::Pjlink, "", 0, "", "", "", "HOST:PORT"},
        {"host:port", ClientKind::Pjlink, "", 0, "", "", "", "port"},
        {"host:70000", ClientKind::Pjlink, "", 0, "", "", "", "port"},
        {"host:1,inputs=11", ClientKind::Pjlink, "", 0, "", "", "", "inputs="},
        {"host:1,max-clients=0", ClientKind::Pjlink, "", 0, "", "", "", "max-clients="},
        {"host:1/001", ClientKind::SharedLine, "", 0, "", "", "", "no projector address"},
        {"host:1,name=x", ClientKind::SharedLine, "", 0, "", "", "", "no setting name="},
        {"::1:4352", ClientKind::Pjlink, "", 0, "", "", "", "HOST:PORT"}, // an IPv6 host needs its brackets
        {"[::1:4352", ClientKind::Pjlink, "", 0, "", "", "", "HOST:PORT"},
        {"host:", ClientKind::Pjlink, "", 0, "", "", "", "port"},
        {"host:1,name=", ClientKind::Pjlink, "", 0, "", "", "", "1 to 64"},
        // An unknown key is refused, named, with the keys allowed; never read as a value.
        {"127.0.0.1:4352,nmae=x", ClientKind::Pjlink, "", 0, "", "", "", "no setting nmae= for a PJLink listener (its keys: listen,"},
        {"127.0.0.1:4352,name=x,foo=1", ClientKind::Pjlink, "", 0, "", "", "", "no setting foo="},
        {"127.0.0.1:4001,name=x", ClientKind::SharedLine, "", 0, "", "", "", "(its keys: listen, max-clients, max-per-address)"},
        {"127.0.0.1:4352,listen=127.0.0.1:1", ClientKind::Pjlink, "", 0, "", "", "", "HOST:PORT/ADDRESS"},
        // A name may hold commas, and blanks and an equals sign after them.
        {"127.0.0.1:4352,name=Hall, left = stage", ClientKind::Pjlink, "127.0.0.1", 4352, "", "Hall, left = stage", "", ""},
    };
    for (const auto& c : cases) {
        const auto r = parseListenerSpec(c.text, c.kind);
        if (!c.error.empty()) {
            ASSERT_TRUE(std::holds_alternative<std::string>(r)) << c.text;
            EXPECT_NE(std::get<std::string>(r).find(c.error), std::string::npos) << std::get<std::string>(r);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<ListenerSpec>(r)) << c.text << ": " << std::get<std::string>(r);
        const auto& s = std::get<ListenerSpec>(r);
        EXPECT_EQ(s.where.host, c.host);
        EXPECT_EQ(s.where.port, c.port);
        EXPECT_EQ(s.prefix, c.prefix);
        EXPECT_EQ(s.name.value_or(""), c.name);
        EXPECT_EQ(s.maxClients.value_or(0), c.maxClients) << c.text;
        std::string inputs;
        if (s.inputs)
            for (const auto& i : *s.inputs) inputs += (inputs.empty() ? "" : " ") + i;
        EXPECT_EQ(inputs, c.inputs) << c.text;
    }
}
