// SPDX-License-Identifier: MIT
// tova-send's rules on the fake clock: what each outcome prints, what goes to standard error,
// and the exit status of a run.
#include "bridge_rig.hpp"
#include "send/send_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace tova;
using namespace tova::test;

namespace {

struct SendRig : BridgeRig {
    std::vector<std::string> out, err;
    int status = -1;
    FakeTimer again{clock};
    std::unique_ptr<send::SendRun> run;

    SendRig() { clock.timers.push_back(&again); }
    void start(send::Options o, bool open = true) {
        run = std::make_unique<send::SendRun>(serial, timeout, guard, again, clock, std::move(o),
                                              send::SendRun::Callbacks{[this](const std::string& s) { out.push_back(s); },
                                                                       [this](const std::string& s) { err.push_back(s); },
                                                                       [this](int s) { status = s; },
                                                                       {}});
        if (open) run->start();
    }
    // The projector answers what it knows; time runs until the run ends.
    void finish() {
        for (int i = 0; i < 400 && status < 0; ++i) {
            answer();
            clock.advance(50);
        }
    }
};

send::Options codes(std::vector<std::string> c) {
    send::Options o;
    o.codes = std::move(c);
    return o;
}

} // namespace

TEST(SendRun, EachOutcomePrintsOneLineAndRanksTheExitStatus) {
    struct Case {
        send::Options options;
        std::map<std::string, std::string> projector;
        std::vector<std::string> out;
        int status;
        std::string said; // a word of what went to standard error, if anything
    } cases[] = {
        {codes({"C00"}), {{"C00\r", "\x06"}}, {"ACK"}, 0, ""},
        {codes({"CR0"}), {{"CR0\r", "00\r"}}, {"Power ON"}, 0, ""},
        {codes({"CR0"}), {{"CR0\r", "\x06"}}, {"ACK"}, 3, "CR0 was refused: ACK "}, // a query needs data
        {codes({"C99"}), {{"C99\r", "ERR\r"}}, {"E R R CR"}, 3, "C99 was refused"},
        {codes({"C99"}), {{"C99\r", "\x15"}}, {"?"}, 3, "refused"},
        {codes({"CR0"}), {}, {""}, 1, "no reply to CR0 within 2000 ms"},
        {codes({"CR0", "C99", "CR1"}), {{"CR0\r", "80\r"}, {"C99\r", "ERR\r"}}, {"Stand by", "E R R CR", ""}, 1, ""},
        {codes({"CR0", "C99", "CR1"}), {{"CR0\r", "80\r"}, {"C99\r", "ERR\r"}, {"CR1\r", "2\r"}},
         {"Stand by", "E R R CR", "Input mode 2"}, 3, ""},
        {codes({"C00\r\n"}), {{"C00\r", "\x06"}}, {"ACK"}, 0, ""}, // a CRLF file's code
        {codes({"CR1"}), {{"CR1\r", "80\r2\r"}}, {"Input mode 2"}, 0, ""},  // a late status is no mode
        {codes({"C0\xc3\xa9"}), {{"C0?\r", "\x06"}}, {"ACK"}, 0, ""}, // one byte per character
        // A query prints its value: the lamp hours as a number, the model's text, else the words.
        {codes({"CR3"}), {{"CR3\r", "01234\r"}}, {"1234"}, 0, ""},
        {codes({"CR9"}), {{"CR9\r", "TM4-SIM\r"}}, {"TM4-SIM"}, 0, ""},
        {codes({"CR7"}), {{"CR7\r", "01\r"}}, {"No1 ON  : 2 Lamp mode"}, 0, ""},
        {codes({"CR PRESSURE"}), {{"CR PRESSURE\r", "853\r"}}, {"1013 hPa"}, 0, ""},
    };
    for (auto& c : cases) {
        SendRig r;
        r.answers = c.projector;
        r.start(c.options);
        r.finish();
        EXPECT_EQ(r.status, c.status) << c.options.codes[0];
        EXPECT_EQ(r.out, c.out) << c.options.codes[0];
        std::string err;
        for (const auto& e : r.err) err += e + "\n";
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
    }
}

// With --verbose, bytes that answered no line are told with the exchange they came in, before the
// next line goes, so that a script's log shows where they came.
TEST(SendRun, DroppedBytesAreToldBeforeTheNextOutcome) {
    BridgeRig r;
    FakeTimer again{r.clock};
    r.clock.timers.push_back(&again);
    std::vector<std::string> said; // standard output and error, in order
    int status = -1;
    auto o = codes({"CR1", "CR0"});
    o.verbose = true;
    send::SendRun run(r.serial, r.timeout, r.guard, again, r.clock, o,
                      {[&](const std::string& s) { said.push_back("out " + s); },
                       [&](const std::string& s) { said.push_back("err " + s); }, [&](int s) { status = s; }, {}});
    r.answers = {{"CR1\r", "2\r80\r"}, {"CR0\r", "00\r"}};
    run.start();
    for (int i = 0; i < 100 && status < 0; ++i) {
        r.answer();
        r.clock.advance(50);
    }
    const auto at = [&](const std::string& s) { return std::find(said.begin(), said.end(), s) - said.begin(); };
    const auto note = at("err discarded 3 bytes after the reply");
    ASSERT_LT(note, long(said.size())) << ::testing::PrintToString(said);
    EXPECT_LT(at("err sending C R 1 CR "), note);
    EXPECT_LT(note, at("err sending C R 0 CR "));
}

// Bytes waiting at the start are discarded and the line falls quiet first; what comes while it
// does is told as waiting after opening too, not as arriving late.
TEST(SendRun, WhatComesWhileTheLineFallsQuietAtTheStartWaitedAfterOpening) {
    BridgeRig r;
    FakeTimer again{r.clock};
    r.clock.timers.push_back(&again);
    std::vector<std::string> err;
    int status = -1;
    auto o = codes({"CR0"});
    o.verbose = true;
    send::SendRun run(r.serial, r.timeout, r.guard, again, r.clock, o,
                      {[](const std::string&) {}, [&](const std::string& s) { err.push_back(s); }, [&](int s) { status = s; }, {}});
    r.answers = {{"CR0\r", "00\r"}};
    r.serial.setEvents({});
    r.serial.receive("old"); // an earlier run's, waiting with nobody reading
    run.start();
    r.serial.receive("zz"); // more of it, while the line falls quiet
    for (int i = 0; i < 100 && status < 0; ++i) {
        r.answer();
        r.clock.advance(50);
    }
    EXPECT_EQ(status, 0);
    std::string all;
    for (const auto& e : err) all += e + "\n";
    EXPECT_NE(all.find("discarded 3 bytes waiting after opening"), std::string::npos) << all;
    EXPECT_NE(all.find("discarded 2 bytes waiting after opening"), std::string::npos) << all;
    EXPECT_EQ(all.find("arriving late"), std::string::npos) << all;
}

TEST(SendRun, OptionsShapeTheLinesAndWhatIsPrinted) {
    struct Case {
        send::Options options;
        std::vector<std::string> lines; // on the wire
        std::vector<std::string> out;
    } cases[] = {
        {[] { auto o = codes({"CR0"}); o.prefix = "A002"; return o; }(), {"A002CR0\r"}, {"Power ON"}},
        {[] { auto o = codes({"CR9"}); o.raw = true; return o; }(), {"CR9\r"}, {"TM4\r"}},
        {[] { auto o = codes({"C00", "C01"}); o.noReply = true; return o; }(), {"C00\r", "C01\r"}, {"", ""}},
        {[] { auto o = codes({"CR0", "C99"}); o.json = true; return o; }(), {"CR0\r", "C99\r"},
         {"{\"code\":\"CR0\",\"line\":\"CR0\\u000d\",\"reply\":\" 0 0 CR \",\"decoded\":\"Power ON\",\"value\":\"Power ON\","
          "\"lampHours\":null,\"temperatures\":null,\"pressureHpa\":null,\"status\":\"ok\",\"message\":null,\"ms\":0}",
          "{\"code\":\"C99\",\"line\":\"C99\\u000d\",\"reply\":null,\"decoded\":null,\"value\":null,"
          "\"lampHours\":null,\"temperatures\":null,\"pressureHpa\":null,\"status\":\"timeout\",\"message\":\"no reply to C99 within 2000 ms\","
          "\"ms\":null}"}},
        {[] { auto o = codes({"CR3", "CR6", "CR PRESSURE"}); o.json = true; return o; }(), {"CR3\r", "CR6\r", "CR PRESSURE\r"},
         {"{\"code\":\"CR3\",\"line\":\"CR3\\u000d\",\"reply\":\" 0 1 2 3 4 CR \",\"decoded\":\"0 1 2 3 4 CR  Hour Use\","
          "\"value\":\"1234\",\"lampHours\":1234,\"temperatures\":null,\"pressureHpa\":null,\"status\":\"ok\",\"message\":null,\"ms\":0}",
          "{\"code\":\"CR6\",\"line\":\"CR6\\u000d\",\"reply\":\" + 2 5 . 0     3 0 . 5     - 2 . 0               CR \","
          "\"decoded\":\"S1= + 2 5 . 0 C  ,   S2=  3 0 . 5 C  ,   S3= - 2 . 0  C  ,   S4=          C\","
          "\"value\":\"S1= + 2 5 . 0 C  ,   S2=  3 0 . 5 C  ,   S3= - 2 . 0  C  ,   S4=          C\",\"lampHours\":null,"
          "\"temperatures\":[25,30.5,-2,null],\"pressureHpa\":null,\"status\":\"ok\",\"message\":null,\"ms\":0}",
          "{\"code\":\"CR PRESSURE\",\"line\":\"CR PRESSURE\\u000d\",\"reply\":\" 8 5 3 CR \",\"decoded\":\"1013 hPa\","
          "\"value\":\"1013 hPa\",\"lampHours\":null,\"temperatures\":null,\"pressureHpa\":1013,\"status\":\"ok\",\"message\":null,\"ms\":0}"}},
    };
    for (auto& c : cases) {
        SendRig r;
        r.answers = {{"A002CR0\r", "00\r"}, {"CR0\r", "00\r"},      {"CR9\r", "TM4\r"},
                     {"CR3\r", "01234\r"},    {"CR6\r", "+25.0  30.5  -2.0       \r"}, {"CR PRESSURE\r", "853\r"}};
        r.start(c.options);
        r.finish();
        EXPECT_EQ(r.serial.writes, c.lines);
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(SendRun, TimeOutsByCodeAndOption) {
    struct Case {
        std::string code;
        std::optional<int> option;
        long long answeredAt; // ms after the line went out
        int status;
    } cases[] = {
        {"CR0", std::nullopt, 1999, 0}, {"CR0", std::nullopt, 2000, 1},
        {"C05", std::nullopt, 4999, 0}, {"C05", std::nullopt, 5000, 1}, // an input change
        {"CR0", 300, 299, 0},           {"CR0", 300, 300, 1},
    };
    for (const auto& c : cases) {
        SendRig r;
        auto o = codes({c.code});
        o.timeoutMs = c.option;
        r.start(o); // on a quiet line the code goes out at once
        ASSERT_EQ(r.serial.writes.size(), 1u);
        r.clock.advance(c.answeredAt);
        r.serial.receive(c.code == "C05" ? "\x06" : "00\r");
        r.clock.advance(1);
        EXPECT_EQ(r.status, c.status) << c.code << " " << c.answeredAt;
    }
}

TEST(SendRun, ALostDeviceEndsTheRunAtOnce) {
    SendRig r;
    r.answers = {{"CR0\r", "80\r"}};
    r.start(codes({"CR0", "CR1", "CR3"}));
    r.answer();
    r.serial.lose("Input/output error");
    EXPECT_EQ(r.status, send::kDeviceFailed);
    EXPECT_EQ(r.out, std::vector<std::string>{"Stand by"});
    ASSERT_EQ(r.err.size(), 1u);
    EXPECT_NE(r.err[0].find("the device was disconnected (Input/output error)"), std::string::npos) << r.err[0];
    EXPECT_EQ(r.serial.writes.size(), 2u); // CR3 never went out
}

// A device that never takes the line (its flow control holding it) has failed: not a missing reply.
TEST(SendRun, ALineTheDeviceNeverTakesIsADeviceFailure) {
    SendRig r;
    r.serial.pacing = true;
    r.serial.queueUntil = 3'600'000'000LL; // an hour of bytes before ours
    auto o = codes({"CR0", "CR1"});
    o.timeoutMs = 500;
    r.start(o);
    r.finish();
    EXPECT_EQ(r.status, send::kDeviceFailed);
    ASSERT_EQ(r.err.size(), 1u);
    EXPECT_NE(r.err[0].find("the device did not take the line within 500 ms"), std::string::npos) << r.err[0];
    EXPECT_EQ(r.serial.writes.size(), 1u);
}

// What waits when the port opens is an earlier run's: dropped, and the line must then fall quiet
// before the first code; a quiet line costs no wait at all.
TEST(SendRun, WaitsForQuietOnlyWhenSomethingWasWaiting) {
    SendRig quiet;
    quiet.start(codes({"CR0"}));
    EXPECT_EQ(quiet.serial.writes.size(), 1u);
    SendRig busy;
    busy.serial.setEvents({}); // nobody reads the line before the run
    busy.serial.receive("TM4\r"); // a reply left by a run that did not wait for it
    busy.start(codes({"CR0"}));
    EXPECT_TRUE(busy.serial.writes.empty());
    busy.clock.advance(kQuietGuardMs - 1);
    EXPECT_TRUE(busy.serial.writes.empty());
    busy.clock.advance(1);
    EXPECT_EQ(busy.serial.writes.size(), 1u);
}

TEST(SendRun, UntilRepeatsTheCodeUntilItsReplyReadsSo) {
    struct Case {
        const char* what;
        std::vector<std::string> replies; // to each try, in turn; "" gets none
        int status;
        std::size_t tries;
        std::string out;
    } cases[] = {
        {"comes on", {"40\r", "40\r", "00\r"}, send::kOk, 3, "Power ON"},
        {"never within 5 s", {"40\r"}, send::kNotReached, 6, "Count down"}, // at 0 to 5 s
        {"silent, then on", {"", "00\r"}, send::kOk, 2, "Power ON"},
        {"refused at once", {"ERR\r"}, send::kRefused, 1, "E R R CR"},
    };
    for (const auto& c : cases) {
        SendRig r;
        auto o = codes({"CR0"});
        o.until = "Power ON";
        o.everyMs = 1000;
        o.withinMs = 5000;
        o.timeoutMs = 500;
        r.start(o);
        for (int ms = 0; ms < 20000 && r.status < 0; ms += 10) {
            for (; r.answered < r.serial.writes.size(); ++r.answered) {
                const auto& reply = c.replies[std::min(r.answered, c.replies.size() - 1)];
                if (!reply.empty()) r.serial.receive(reply);
            }
            r.clock.advance(10);
        }
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.serial.writes.size(), c.tries) << c.what;
        EXPECT_EQ(r.out, std::vector<std::string>{c.out}) << c.what; // the last outcome only
    }
    // Tries start a period apart, however long each reply takes.
    SendRig slow;
    auto every = codes({"CR0"});
    every.until = "Power ON";
    every.everyMs = 1000;
    every.withinMs = 5000;
    std::vector<long long> triedAt;
    slow.start(every);
    for (int ms = 0; ms < 2500; ms += 10) {
        if (slow.serial.writes.size() > triedAt.size()) triedAt.push_back(slow.clock.ms);
        if (slow.answered < slow.serial.writes.size() && slow.clock.ms == triedAt.back() + 300) {
            ++slow.answered;
            slow.serial.receive("40\r");
        }
        slow.clock.advance(10);
    }
    EXPECT_EQ(triedAt, (std::vector<long long>{0, 1000, 2000}));
    // The lamp hours compare as the number printed, not as the traffic text.
    SendRig hours;
    hours.answers = {{"CR3\r", "01234\r"}};
    auto lamp = codes({"CR3"});
    lamp.until = "1234";
    hours.start(lamp);
    hours.finish();
    EXPECT_EQ(hours.status, send::kOk);
    EXPECT_EQ(hours.out, std::vector<std::string>{"1234"});
    // A lost device ends it with 2.
    SendRig lost;
    auto o = codes({"CR0"});
    o.until = "Power ON";
    lost.start(o);
    lost.serial.lose("Input/output error");
    EXPECT_EQ(lost.status, send::kDeviceFailed);
}

TEST(SendRun, CodesFromStandardInputAsTheyCome) {
    SendRig r;
    r.answers = {{"CR0\r", "80\r"}, {"C00\r", "\x06"}};
    auto o = codes({});
    o.fromInput = true;
    r.start(o);
    EXPECT_EQ(r.status, -1); // waits for input
    r.run->input("CR0\n");
    r.answer();
    EXPECT_EQ(r.out, std::vector<std::string>{"Stand by"}); // printed before the next line comes
    r.run->input("");       // blank lines are skipped
    r.run->input(std::string(send::kMaxInputLine + 1, 'C'));
    r.run->input("C00\r\n");
    r.answer();
    r.run->input("C99");
    r.run->inputEnded();
    r.finish();
    EXPECT_EQ(r.out, (std::vector<std::string>{"Stand by", "ACK", ""}));
    EXPECT_EQ(r.status, send::kTimedOut); // as for several codes
    EXPECT_NE(r.err.front().find("over 4096 bytes"), std::string::npos);
    // A line holding a control character frames no second line: it and every line after it are
    // refused, the lines before it go, and the run ends with 64.
    SendRig forged;
    forged.answers = {{"A002CR0\r", "80\r"}, {"A002CR1\r", "2\r"}, {"A002C01\r", "\x06"}};
    auto addressed = codes({});
    addressed.fromInput = true;
    addressed.prefix = "A002";
    forged.start(addressed);
    forged.run->input("CR0\r\n"); // a batch file's line end
    forged.run->input("CR1\n");
    forged.run->input("CR0\rC01\n");
    forged.run->input("C01\n");
    forged.run->inputEnded();
    forged.finish();
    EXPECT_EQ(forged.serial.writes, (std::vector<std::string>{"A002CR0\r", "A002CR1\r"}));
    EXPECT_EQ(forged.out, (std::vector<std::string>{"Stand by", "Input mode 2"}));
    EXPECT_EQ(forged.status, send::kUsage);
    ASSERT_EQ(forged.err.size(), 1u);
    EXPECT_EQ(forged.err[0], "line 3 of standard input, \"CR0\\rC01\", holds a control character (CR at 4): a code is one "
                             "line; neither it nor any after it was sent");
    // No more is taken while the line is behind.
    SendRig busy;
    busy.start(o);
    for (std::size_t i = 0; i < send::kMaxWaitingCodes; ++i) busy.run->input("CR0");
    EXPECT_FALSE(busy.run->wantsInput());
}

TEST(SendRun, EveryOutcomeIsAJsonLineAFailedOpeningIncluded) {
    SendRig r;
    auto o = codes({"CR0"});
    o.json = true;
    r.start(o, false);
    r.run->openFailed({1, "/tmp/projector-left", SerialFault::NoDevice, "No such file or directory"});
    EXPECT_EQ(r.status, send::kDeviceFailed);
    ASSERT_EQ(r.out.size(), 1u);
    EXPECT_EQ(r.out[0], "{\"code\":\"CR0\",\"line\":null,\"reply\":null,\"decoded\":null,\"value\":null,\"lampHours\":null,"
                        "\"temperatures\":null,\"pressureHpa\":null,\"status\":\"device\","
                        "\"message\":\"/tmp/projector-left: no such device (No such file or directory)\",\"ms\":null}");
    // A device lost on the way is one too.
    SendRig lost;
    lost.start(o);
    lost.serial.lose("Input/output error");
    ASSERT_EQ(lost.out.size(), 1u);
    EXPECT_NE(lost.out[0].find("\"status\":\"device\",\"message\":\"/fake/com1: the device was disconnected"), std::string::npos)
        << lost.out[0];
}

TEST(SendRun, AQuerysValueIsAJsonFieldOfItsOwn) {
    SendRig r;
    r.answers = {{"CR3\r", "01234\r"}, {"CR0\r", "00\r"}, {"C00\r", "\x06"}};
    auto o = codes({"CR3", "CR0", "C00"});
    o.json = true;
    r.start(o);
    r.finish();
    ASSERT_EQ(r.out.size(), 3u);
    EXPECT_NE(r.out[0].find("\"decoded\":\"0 1 2 3 4 CR  Hour Use\",\"value\":\"1234\",\"lampHours\":1234"), std::string::npos)
        << r.out[0];
    EXPECT_NE(r.out[1].find("\"decoded\":\"Power ON\",\"value\":\"Power ON\""), std::string::npos) << r.out[1];
    EXPECT_NE(r.out[2].find("\"decoded\":null,\"value\":null"), std::string::npos) << r.out[2]; // no query
}
