// SPDX-License-Identifier: MIT
// tova-send's rules on the fake clock: what each outcome prints, what goes to standard error,
// and the exit status of a run.
#include "bridge_rig.hpp"
#include "send/send_run.hpp"

#include <gtest/gtest.h>

#include <memory>

using namespace tova;
using namespace tova::test;

namespace {

struct SendRig : BridgeRig {
    std::vector<std::string> out, err;
    int status = -1;
    std::unique_ptr<send::SendRun> run;

    void start(send::Options o) {
        run = std::make_unique<send::SendRun>(serial, queue, std::move(o));
        run->print = [this](const std::string& s) { out.push_back(s); };
        run->tell = [this](const std::string& s) { err.push_back(s); };
        run->finished = [this](int s) { status = s; };
        run->start();
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
         {"{\"code\":\"CR0\",\"line\":\"CR0\\u000d\",\"reply\":\" 0 0 CR \",\"decoded\":\"Power ON\",\"status\":\"ok\",\"ms\":0}",
          "{\"code\":\"C99\",\"line\":\"C99\\u000d\",\"reply\":null,\"decoded\":null,\"status\":\"timeout\",\"ms\":null}"}},
    };
    for (auto& c : cases) {
        SendRig r;
        r.answers = {{"A002CR0\r", "00\r"}, {"CR0\r", "00\r"}, {"CR9\r", "TM4\r"}};
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
        r.start(o);
        r.clock.advance(kQuietGuardMs); // the line is quiet: the code goes out
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
    r.clock.advance(kQuietGuardMs);
    r.answer();
    r.serial.lose("Input/output error");
    EXPECT_EQ(r.status, send::kDeviceFailed);
    EXPECT_EQ(r.out, std::vector<std::string>{"Stand by"});
    ASSERT_EQ(r.err.size(), 1u);
    EXPECT_NE(r.err[0].find("the device was disconnected (Input/output error)"), std::string::npos) << r.err[0];
    EXPECT_EQ(r.serial.writes.size(), 2u); // CR3 never went out
}
