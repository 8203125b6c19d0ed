// SPDX-License-Identifier: MIT
// The exchange queue on the fake clock: one line on the wire at a time, replies to the asker.
#include "bridge/device_keeper.hpp"
#include "bridge_rig.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace tova;
using namespace tova::bridge;
using namespace tova::test;

namespace {

// Collects what each client was told.
struct Told {
    std::vector<std::string> said; // "client: outcome bytes"
    Done to(int client) {
        return [this, client](const ExchangeResult& r) {
            const char* what = r.outcome == ExchangeResult::Replied ? "replied" : r.outcome == ExchangeResult::TimedOut ? "timeout" : "down";
            said.push_back(std::to_string(client) + " " + what + (r.bytes.empty() ? "" : " " + r.bytes));
        };
    }
};

} // namespace

TEST(ExchangeQueue, OneLineOnTheWireAtATimeAndTheReplyToItsAsker) {
    struct Case {
        std::string reply;  // what the projector sends for the first line, in pieces split by |
        std::string told;   // what client 1 is told
    } cases[] = {
        {"\x06", "1 replied \x06"},
        {"0|0\r", "1 replied 00\r"},
        {"ERR\r", "1 replied ERR\r"},
        {"\x15", "1 replied \x15"},
        {"80\r00\r", "1 replied 80\r"}, // what follows the reply is nobody's
    };
    for (const auto& c : cases) {
        BridgeRig r;
        Told t;
        EXPECT_EQ(r.submit(1, "CR0\r", 500, t.to(1)), Submitted::Queued);
        EXPECT_EQ(r.submit(2, "C00\r", 500, t.to(2)), Submitted::Queued);
        EXPECT_EQ(r.serial.writes, std::vector<std::string>{"CR0\r"}); // the second waits
        std::string piece;
        for (char ch : c.reply + "|") {
            if (ch != '|') { piece += ch; continue; }
            r.serial.receive(std::exchange(piece, {}));
        }
        ASSERT_EQ(t.said.size(), 1u) << c.told;
        EXPECT_EQ(t.said[0], c.told);
        EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"CR0\r", "C00\r"}));
        r.serial.receive("\x06");
        EXPECT_EQ(t.said.back(), "2 replied \x06");
    }
}

TEST(ExchangeQueue, TimeOutThenAQuietGuardBeforeTheNextLine) {
    struct Case {
        int timeoutMs;
        long long lateAt;  // a late reply to the first line, ms after it was sent (0: none)
        long long nextAt;  // when the second line goes out
    } cases[] = {{500, 0, 600}, {5000, 0, 5100}, {500, 550, 650}, {500, 590, 690}};
    for (const auto& c : cases) {
        BridgeRig r;
        Told t;
        r.submit(1, "C05\r", c.timeoutMs, t.to(1));
        r.submit(2, "CR0\r", 500, t.to(2));
        r.clock.advance(c.timeoutMs - 1);
        EXPECT_TRUE(t.said.empty());
        r.clock.advance(1);
        EXPECT_EQ(t.said, std::vector<std::string>{"1 timeout"});
        if (c.lateAt) {
            r.clock.advance(c.lateAt - c.timeoutMs);
            r.serial.receive("\x06"); // not quiet yet: the guard starts over
        }
        r.clock.advance(c.nextAt - r.clock.ms - 1);
        EXPECT_EQ(r.serial.writes.size(), 1u) << c.timeoutMs << " " << c.lateAt;
        r.clock.advance(1);
        EXPECT_EQ(r.serial.writes.size(), 2u) << c.timeoutMs << " " << c.lateAt;
        r.serial.receive("80\r");
        EXPECT_EQ(t.said.back(), "2 replied 80\r"); // the late ACK was not taken for it
    }
}

// Clients take turns; each client's lines go in order.
TEST(ExchangeQueue, ClientsTakeTurns) {
    BridgeRig r;
    r.answers = {{"C09\r", "\x06"}, {"C0A\r", "\x06"}, {"CR0\r", "00\r"}, {"C47\r", "\x06"}, {"CR1\r", "1\r"}};
    Told t;
    r.submit(1, "C09\r", 500, t.to(1));
    r.submit(1, "C0A\r", 500, t.to(1));
    r.submit(1, "C47\r", 500, t.to(1));
    r.submit(2, "CR0\r", 500, t.to(2));
    r.submit(3, "CR1\r", 500, t.to(3));
    for (int i = 0; i < 5; ++i) r.answer();
    EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"C09\r", "CR0\r", "CR1\r", "C0A\r", "C47\r"}));
    EXPECT_EQ(t.said, (std::vector<std::string>{"1 replied \x06", "2 replied 00\r", "3 replied 1\r",
                                                "1 replied \x06", "1 replied \x06"}));
}

TEST(ExchangeQueue, BoundsDuplicatesAndSharedQueries) {
    BridgeRig r;
    Told t;
    r.submit(9, "CR9\r", 500, t.to(9)); // on the wire: the rest wait behind it
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(r.submit(1, "C" + std::to_string(10 + i) + "\r", 500, t.to(1)), Submitted::Queued);
    EXPECT_EQ(r.submit(1, "C99\r", 500, t.to(1)), Submitted::Full);
    EXPECT_EQ(r.submit(2, "C09\r", 500, t.to(2)), Submitted::Queued);
    EXPECT_EQ(r.submit(2, "C09\r", 500, t.to(2)), Submitted::Duplicate); // a held button's repeat
    // Identical queries waiting at once share one exchange; commands never do.
    EXPECT_EQ(r.submit(3, "CR0\r", 500, t.to(3)), Submitted::Queued);
    EXPECT_EQ(r.submit(4, "CR0\r", 500, t.to(4)), Submitted::Shared);
    EXPECT_EQ(r.submit(5, "CR0\r", 500, t.to(5)), Submitted::Shared);
    EXPECT_EQ(r.submit(6, "C09\r", 500, t.to(6)), Submitted::Queued);
    r.answers = {{"CR0\r", "00\r"}};
    for (int i = 0; i < 30; ++i) {
        r.serial.receive("\x06"); // whatever is on the wire now is acknowledged
        r.answer();
    }
    EXPECT_EQ(std::count(r.serial.writes.begin(), r.serial.writes.end(), "CR0\r"), 1);
    EXPECT_EQ(std::count(r.serial.writes.begin(), r.serial.writes.end(), "C09\r"), 2);
    for (int c : {3, 4, 5}) EXPECT_EQ(std::count(t.said.begin(), t.said.end(), std::to_string(c) + " replied 00\r"), 1) << c;
    EXPECT_EQ(r.queue.exchanges(), 1u + 16 + 1 + 1 + 1);
    // A query on the wire serves a client that asks the same meanwhile.
    r.submit(7, "CR1\r", 500, t.to(7));
    EXPECT_EQ(r.submit(8, "CR1\r", 500, t.to(8)), Submitted::Shared);
    EXPECT_EQ(r.submit(7, "C00\r", 500, t.to(7)), Submitted::Queued);
    EXPECT_EQ(r.submit(9, "C00\r", 500, t.to(9)), Submitted::Queued); // commands never share
    r.serial.receive("2\r");
    EXPECT_EQ(std::count(t.said.begin(), t.said.end(), "7 replied 2\r"), 1);
    EXPECT_EQ(std::count(t.said.begin(), t.said.end(), "8 replied 2\r"), 1);
    EXPECT_EQ(r.serial.writes.back(), "C00\r");
}

// Sharing an identical query never puts a client's replies out of the order it asked in.
TEST(ExchangeQueue, SharingNeverReordersAClientsReplies) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::string>> submits; // client, line; client 1's first goes out
        std::vector<std::string> toClient2;               // what client 2 is told, in order
        int exchanges;
    } cases[] = {
        {"waits behind its own command", {{1, "CR0\r"}, {2, "C01\r"}, {2, "CR0\r"}},
         {"2 replied \x06", "2 replied 00\r"}, 3},
        {"nothing of its own waits", {{1, "CR0\r"}, {2, "CR0\r"}, {2, "C01\r"}},
         {"2 replied 00\r", "2 replied \x06"}, 2},
        {"its own query on the wire", {{2, "CR0\r"}, {1, "C00\r"}, {2, "CR1\r"}, {2, "CR0\r"}},
         {"2 replied 00\r", "2 replied 1\r", "2 replied 00\r"}, 4},
    };
    for (const auto& c : cases) {
        BridgeRig r;
        r.answers = {{"CR0\r", "00\r"}, {"CR1\r", "1\r"}, {"C01\r", "\x06"}, {"C00\r", "\x06"}};
        Told t;
        for (const auto& [client, line] : c.submits) r.submit(client, line, 500, t.to(client));
        for (int i = 0; i < 8; ++i) r.answer();
        std::vector<std::string> two;
        for (const auto& s : t.said)
            if (s.starts_with("2 ")) two.push_back(s);
        EXPECT_EQ(two, c.toClient2) << c.name;
        EXPECT_EQ(int(r.queue.exchanges()), c.exchanges) << c.name;
    }
}

// A line that awaits no reply ends once its bytes have left; one the device never takes ends at
// its time-out as not taken; and a line that never falls quiet holds the queue at most a second.
TEST(ExchangeQueue, LinesLeaveAndTheLineFallsQuietWithinBounds) {
    BridgeRig r;
    r.serial.pacing = true; // 4 bytes at 9600 baud: about 4 ms on the wire
    std::vector<ExchangeResult::Outcome> outcomes;
    auto note = [&](const ExchangeResult& e) { outcomes.push_back(e.outcome); };
    r.queue.submit(1, {"C00\r", 500, {}, false}, note);
    r.clock.advance(4);
    EXPECT_TRUE(outcomes.empty());
    r.clock.advance(6);
    EXPECT_EQ(outcomes, std::vector{ExchangeResult::Sent});
    for (bool awaitReply : {false, true}) { // a second on the wire: not taken, exactly at its time-out
        r.queue.submit(1, {std::string(1000, 'C') + "\r", 500, {}, awaitReply}, note);
        r.clock.advance(499);
        EXPECT_EQ(outcomes.size(), awaitReply ? 2u : 1u);
        r.clock.advance(1);
        EXPECT_EQ(outcomes.back(), ExchangeResult::NotTaken) << awaitReply;
    }
    const long long timedOutAt = r.clock.ms;
    r.serial.pacing = false;
    r.submit(2, "CR0\r", 500, note); // waits for the line to fall quiet
    const auto before = r.serial.writes.size();
    while (r.clock.ms < timedOutAt + ExchangeQueue::kMaxQuietMs - 1) {
        r.serial.receive("x"); // a line that never stops talking
        r.clock.advance(std::min<long long>(50, timedOutAt + ExchangeQueue::kMaxQuietMs - 1 - r.clock.ms));
    }
    EXPECT_EQ(r.serial.writes.size(), before);
    r.clock.advance(1);
    ASSERT_EQ(r.serial.writes.size(), before + 1);
    EXPECT_EQ(r.serial.writes.back(), "CR0\r");
}

// A reply of a form the line on the wire does not accept belongs to another line: it is dropped
// and the line goes on waiting for its own.
TEST(ExchangeQueue, AReplyOfTheWrongFormIsAStray) {
    struct Case {
        const char* line;
        std::vector<std::string> arriving; // in order, each at once
        const char* told;                   // what the client is told
        int strays;
    } cases[] = {
        {"CR1\r", {"80\r", "2\r"}, "1 replied 2\r", 1},          // another query's pair
        {"C00\r", {"TM4-SIM\r", "\x06"}, "1 replied \x06", 1},   // text for a command
        {"CR0\r", {"1\r", "TM4\r", "00\r"}, "1 replied 00\r", 2},
        {"CR0\r", {"ERR\r"}, "1 replied ERR\r", 0},            // a refusal fits any line
        {"CR0\r", {"\x06"}, "1 replied \x06", 0},               // an answer without data
        {"CR9\r", {"80\r"}, "1 replied 80\r", 0},               // text takes a pair: not told apart
        {"C99X\r", {"80\r"}, "1 replied 80\r", 0},              // a free code takes anything
        {"CR0\r", {"1\r"}, "1 timeout", 1},
    };
    for (const auto& c : cases) {
        BridgeRig r;
        Told t;
        auto strays = [&] {
            return int(std::count_if(r.logged.begin(), r.logged.end(),
                                     [](const std::string& s) { return s.starts_with(describe(Dropped{Dropped::Stray, ""})); }));
        };
        r.submit(1, c.line, 500, t.to(1));
        for (const auto& bytes : c.arriving) r.serial.receive(bytes);
        r.clock.advance(500);
        ASSERT_FALSE(t.said.empty()) << c.line;
        EXPECT_EQ(t.said[0], c.told) << c.line;
        EXPECT_EQ(strays(), c.strays) << c.line;
    }
}

// A late reply, or a line the device adds after its reply, never reaches the next client.
TEST(ExchangeQueue, ALateReplyNeverReachesAnotherClient) {
    BridgeRig r;
    Told t;
    r.submit(1, "CR9\r", 500, t.to(1));
    r.submit(2, "CR0\r", 500, t.to(2));
    r.clock.advance(650); // client 1 timed out; the quiet guard has passed, client 2's line is out
    ASSERT_EQ(r.serial.writes.back(), "CR0\r");
    r.serial.receive("TM4\r"); // client 1's reply, 650 ms late
    r.serial.receive("80\r");
    r.submit(1, "C00\r", 500, t.to(1));
    r.serial.receive("00\r"); // one extra line after the reply, as some devices send
    r.serial.receive("\x06");
    EXPECT_EQ(t.said, (std::vector<std::string>{"1 timeout", "2 replied 80\r", "1 replied \x06"}));
}

// Turns go by time on the wire: a client asking one short query at a time waits at most for the
// exchange on the wire, however many clients flood the line with long lines, whether they keep
// their connection, open a fresh one for every line (a new client each time), or have just
// arrived.
TEST(ExchangeQueue, AQueryAtATimeWaitsAtMostTheExchangeOnTheWire) {
    struct Case {
        int flooders;
        bool reconnecting; // a new client for every line, gone once it is answered
        int arriveMs;      // new flooders arrive this long before each query (-1: they stay)
    } cases[] = {{1, false, -1}, {2, false, -1}, {4, false, -1}, {1, true, -1},
                 {3, true, -1},  {2, false, 20}, {3, true, 20}};
    for (const auto& c : cases) {
        BridgeRig r;
        r.answers = {{"CR0\r", "00\r"}};
        int nextId = 100;
        std::map<int, int> current; // flooder -> its client now
        std::function<void(int)> flood = [&](int f) {
            if (c.reconnecting || !current.contains(f)) current[f] = nextId++;
            const int id = current[f];
            for (int i = 0; i < (c.reconnecting ? 1 : 16); ++i)
                r.submit(id, "C0" + std::to_string(i % 8) + "\r", 5000, [&, f, id](const ExchangeResult&) {
                    if (!c.reconnecting || current[f] != id) return;
                    r.queue.forget(id);
                    flood(f); // straight back with a fresh connection
                });
        };
        auto run = [&](int ms) { // the projector answers within 40 ms
            for (int t = 0; t < ms; t += 10) {
                if (r.clock.ms % 40 == 0) r.answer();
                r.clock.advance(10);
            }
        };
        std::vector<long long> asked, answered;
        for (int second = 0; second < 60; ++second) {
            if (c.arriveMs >= 0) {
                for (const auto& [f, id] : current) r.queue.forget(id);
                current.clear();
                run(1000 - c.arriveMs);
                for (int f = 0; f < c.flooders; ++f) flood(f);
                run(c.arriveMs);
            } else {
                for (int f = 0; f < c.flooders; ++f)
                    if (!c.reconnecting || !current.contains(f)) flood(f);
            }
            asked.push_back(r.clock.ms);
            r.submit(1, "CR0\r", 500, [&](const ExchangeResult& e) {
                if (e.outcome == ExchangeResult::Replied) answered.push_back(r.clock.ms);
            });
            if (c.arriveMs < 0) run(1000);
        }
        run(6000); // the last asked are answered too
        const std::string name = std::to_string(c.flooders) + (c.reconnecting ? " reconnecting" : " steady") +
                                 (c.arriveMs >= 0 ? " newly arrived" : "");
        ASSERT_EQ(answered.size(), asked.size()) << name;
        long long worst = 0;
        for (std::size_t i = 0; i < asked.size(); ++i) worst = std::max(worst, answered[i] - asked[i]);
        EXPECT_LE(worst, 5000 + kQuietGuardMs + 40) << name; // the exchange on the wire, the guard, its own reply
    }
}

// The poller's line waits for everyone else, unless it has waited too long; a client's query that
// joins it is that client's line and takes the client's turn.
TEST(ExchangeQueue, AClientsQueryJoiningTheBackgroundLineIsNotBackground) {
    BridgeRig r;
    Told t;
    Request poll{"CR0\r", 500, expectFor(codeOfLine("CR0\r"))};
    poll.background = true;
    poll.patienceMs = 10000;
    r.submit(9, "C05\r", 5000, t.to(9)); // on the wire
    r.queue.submit(0, poll, t.to(0));
    for (int i = 0; i < 4; ++i) r.submit(10 + i, "C0" + std::to_string(i) + "\r", 5000, t.to(10 + i));
    r.submit(1, "CR0\r", 500, t.to(1));
    r.clock.advance(5000 + kQuietGuardMs);
    ASSERT_EQ(r.serial.writes.size(), 2u);
    EXPECT_EQ(r.serial.writes[1], "CR0\r");
    r.serial.receive("00\r");
    EXPECT_EQ(t.said, (std::vector<std::string>{"9 timeout", "0 replied 00\r", "1 replied 00\r"}));
}

// When the line falls free, the smallest finish tag goes first: a client starts at the later of
// the virtual time and its last line's finish, and finishes a time-out later; of equal finishes,
// the shorter time-out; then the next client in turn. The poller's line waits out its patience.
TEST(ExchangeQueue, TheSmallestFinishTagGoesFirst) {
    struct Line {
        int client;
        const char* line;
        int timeoutMs;
        int patienceMs = -1; // a background line's, from now
    };
    struct Case {
        const char* name;
        Line onWire; // never answered
        std::vector<Line> waiting;
        const char* first; // of the waiting, what goes when the line on the wire has timed out
    } cases[] = {
        {"newcomers: the shorter time-out finishes first", {9, "C05\r", 500}, {{1, "C01\r", 5000}, {2, "C09\r", 500}}, "C09\r"},
        // Client 2's start is the quiet after its time-out: 600 + 400 = 500 + 500.
        {"equal finishes: the shorter time-out", {2, "C05\r", 500}, {{2, "C06\r", 400}, {1, "C07\r", 500}}, "C06\r"},
        {"a poll that has waited out its patience", {9, "C05\r", 500}, {{0, "CR0\r", 500, 599}, {1, "C09\r", 500}}, "CR0\r"},
        {"a poll at its patience exactly", {9, "C05\r", 500}, {{0, "CR0\r", 500, 600}, {1, "C09\r", 500}}, "CR0\r"},
        {"a poll within its patience", {9, "C05\r", 500}, {{0, "CR0\r", 500, 601}, {1, "C09\r", 500}}, "C09\r"},
    };
    for (const auto& c : cases) {
        BridgeRig r;
        Told t;
        r.submit(c.onWire.client, c.onWire.line, c.onWire.timeoutMs, t.to(c.onWire.client));
        for (const Line& l : c.waiting) {
            Request q{l.line, l.timeoutMs, expectFor(codeOfLine(l.line))};
            q.background = l.patienceMs >= 0;
            q.patienceMs = std::max(0, l.patienceMs);
            r.queue.submit(l.client, q, t.to(l.client));
        }
        r.clock.advance(c.onWire.timeoutMs + kQuietGuardMs);
        ASSERT_EQ(r.serial.writes.size(), 2u) << c.name;
        EXPECT_EQ(r.serial.writes[1], c.first) << c.name;
    }
}

// The wait for quiet after a time-out is time on the line of every client the line was asked
// for, whether it asked alone or joined another's query: the next time, a newcomer goes first.
TEST(ExchangeQueue, TheQuietAfterATimeOutCountsForEveryClientTheLineWasAskedFor) {
    for (bool joined : {false, true}) {
        BridgeRig r;
        Told t;
        r.submit(9, "C05\r", 500, t.to(9));
        if (joined) r.submit(1, "CR1\r", 500, t.to(1));
        r.submit(2, "CR1\r", 500, t.to(2));
        r.clock.advance(500 + kQuietGuardMs);
        ASSERT_EQ(r.serial.writes.back(), "CR1\r");
        // Client 2 starts where its timed-out query and the quiet after it end: 1100 + 450, after
        // client 4's 1000 + 500.
        r.submit(2, "C09\r", 450, t.to(2));
        r.submit(4, "C0A\r", 500, t.to(4));
        r.clock.advance(500 + kQuietGuardMs);
        ASSERT_EQ(r.serial.writes.size(), 3u) << joined;
        EXPECT_EQ(r.serial.writes[2], "C0A\r") << joined;
    }
}

// A client that connects again under an id used before starts at the virtual time, whatever its
// last line's finish was.
TEST(ExchangeQueue, AnIdUsedAgainStartsAtTheVirtualTime) {
    BridgeRig r;
    Told t;
    r.submit(1, "C05\r", 500, t.to(1));
    r.clock.advance(500 + kQuietGuardMs); // its finish: the time-out and the quiet after it
    r.queue.forget(1);
    r.submit(9, "C4A\r", 5, t.to(9)); // a focus step: the virtual time moves 5 ms
    r.submit(1, "C07\r", 500, t.to(1));
    r.submit(4, "C08\r", 500, t.to(4));
    r.clock.advance(5 + kQuietGuardMs);
    ASSERT_EQ(r.serial.writes.size(), 3u);
    EXPECT_EQ(r.serial.writes[2], "C07\r"); // equals, and client 1 is next in turn after 9
}

// A query joins only an identical line next in its queue: one behind another client's command,
// or behind the poller's deferred line, would make it wait for them.
TEST(ExchangeQueue, AQueryJoinsOnlyALineNextInItsQueue) {
    {
        BridgeRig r;
        Told t;
        r.submit(9, "C05\r", 500, t.to(9));
        r.submit(1, "C09\r", 500, t.to(1));
        r.submit(1, "CR1\r", 500, t.to(1));
        r.submit(2, "CR1\r", 500, t.to(2));
        EXPECT_EQ(r.submit(3, "CR1\r", 500, t.to(3)), Submitted::Shared);
        r.clock.advance(500 + kQuietGuardMs);
        ASSERT_EQ(r.serial.writes.back(), "C09\r");
        r.serial.receive("\x06");
        ASSERT_EQ(r.serial.writes.back(), "CR1\r");
        r.serial.receive("1\r");
        r.serial.receive("2\r");
        EXPECT_EQ(t.said, (std::vector<std::string>{"9 timeout", "1 replied \x06", "2 replied 1\r", "3 replied 1\r",
                                                    "1 replied 2\r"}));
    }
    {
        BridgeRig r;
        r.answers = {{"CR0\r", "00\r"}};
        Told t;
        r.submit(9, "C05\r", 5000, t.to(9));
        for (const char* line : {"CR1\r", "CR0\r"}) { // the poller's, the first for a projector that is gone
            Request poll{line, 500, expectFor(codeOfLine(line))};
            poll.background = true;
            poll.patienceMs = 10000;
            r.queue.submit(0, poll, t.to(0));
        }
        for (int i = 0; i < 8; ++i) r.submit(5, "C0" + std::to_string(i) + "\r", 5000, t.to(5));
        long long answeredAt = -1;
        r.submit(1, "CR0\r", 500, [&](const ExchangeResult& e) {
            if (e.outcome == ExchangeResult::Replied) answeredAt = r.clock.ms;
        });
        for (int ms = 0; ms < 20000 && answeredAt < 0; ms += 10) {
            r.answer();
            r.clock.advance(10);
        }
        EXPECT_GE(answeredAt, 0);
        EXPECT_LE(answeredAt, 5000 + kQuietGuardMs + 10);
    }
}

// Every client a reply answers queues its next line before the next line is chosen: the poller
// that asked first and asks again at once (a line that may wait) does not hand the line to a
// long exchange while the client that joined it is still being told.
TEST(ExchangeQueue, EveryClientAReplyAnswersAsksAgainBeforeTheNextLineGoes) {
    BridgeRig r;
    Told t;
    r.submit(9, "C05\r", 500, t.to(9));
    Request poll{"CR0\r", 500, expectFor(codeOfLine("CR0\r"))};
    r.queue.submit(0, poll, [&](const ExchangeResult&) {
        Request again = poll;
        again.background = true;
        again.patienceMs = 10000;
        r.queue.submit(0, again, t.to(0));
    });
    r.submit(1, "CR0\r", 500, [&](const ExchangeResult&) { r.submit(1, "CR1\r", 500, t.to(1)); });
    r.submit(2, "C06\r", 5000, t.to(2));
    r.clock.advance(500 + kQuietGuardMs);
    ASSERT_EQ(r.serial.writes.back(), "CR0\r");
    r.serial.receive("80\r");
    EXPECT_EQ(r.serial.writes.back(), "CR1\r");
}

// A client's count of waiting lines starts over when the line goes down and when the client is
// forgotten: pages and PJLink sessions keep their ids across a device's loss.
TEST(ExchangeQueue, AClientsCountOfWaitingLinesStartsOver) {
    for (bool lineDown : {true, false}) {
        BridgeRig r;
        Told t;
        r.submit(9, "C05\r", 500, t.to(9));
        for (int i = 0; i < 16; ++i) r.submit(1, "C" + std::to_string(10 + i) + "\r", 500, t.to(1));
        ASSERT_EQ(r.submit(1, "C99\r", 500, t.to(1)), Submitted::Full);
        if (lineDown) {
            r.queue.setLineUp(false);
            r.queue.setLineUp(true);
        } else {
            r.queue.forget(1);
        }
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(r.submit(1, "C" + std::to_string(30 + i) + "\r", 500, t.to(1)), Submitted::Queued) << lineDown << i;
        EXPECT_EQ(r.submit(1, "C99\r", 500, t.to(1)), Submitted::Full) << lineDown;
    }
}

TEST(ExchangeQueue, ADepartedClientsLinesGoNowhere) {
    BridgeRig r;
    Told t;
    r.submit(1, "CR0\r", 500, t.to(1));
    r.submit(1, "CR1\r", 500, t.to(1));
    r.submit(2, "CR3\r", 500, t.to(2));
    r.queue.forget(1);
    r.serial.receive("00\r"); // the reply to the line on its way reaches nobody
    EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"CR0\r", "CR3\r"}));
    r.serial.receive("01234\r");
    EXPECT_EQ(t.said, std::vector<std::string>{"2 replied 01234\r"});
}

TEST(ExchangeQueue, BytesNobodyAskedForAreDropped) {
    BridgeRig r;
    Told t;
    r.serial.receive("00\r");
    ASSERT_EQ(r.logged.size(), 1u);
    EXPECT_EQ(r.logged[0], "dropped, nobody asked: 0 0 CR ");
    r.submit(1, "CR0\r", 500, t.to(1));
    r.serial.receive("80\r");
    EXPECT_EQ(t.said, std::vector<std::string>{"1 replied 80\r"});
}

TEST(ExchangeQueue, TheLineGoingDownEndsEveryExchange) {
    BridgeRig r;
    Told t;
    r.submit(1, "CR0\r", 500, t.to(1));
    r.submit(2, "CR1\r", 500, t.to(2));
    r.queue.setLineUp(false);
    EXPECT_EQ(t.said, (std::vector<std::string>{"1 down", "2 down"}));
    EXPECT_EQ(r.submit(3, "CR0\r", 500, t.to(3)), Submitted::LineDown);
    r.clock.advance(1000);
    EXPECT_EQ(t.said.size(), 2u); // no time-out for an exchange that ended
    r.queue.setLineUp(true);
    EXPECT_EQ(r.submit(3, "CR0\r", 500, t.to(3)), Submitted::Queued);
    EXPECT_EQ(r.serial.writes.back(), "CR0\r");
}

// The line going down in each state the engine can be in, and coming back: every asker told
// once, no timer from before firing, a reply from before nobody's, the next line out at once,
// and each client's count of waiting lines started afresh.
TEST(ExchangeQueue, TheLineGoesDownAndComesBackInEveryState) {
    struct Case {
        const char* state;
        std::function<void(BridgeRig&, Told&)> into;
        std::vector<std::string> told; // when the line is back
    } cases[] = {
        {"idle", [](BridgeRig&, Told&) {}, {}},
        {"waiting for a reply",
         [](BridgeRig& r, Told& t) {
             r.submit(1, "CR0\r", 500, t.to(1));
             r.submit(1, "CR1\r", 500, t.to(1));
         },
         {"1 down", "1 down"}},
        {"in the guard after a time-out",
         [](BridgeRig& r, Told& t) {
             r.submit(1, "CR0\r", 500, t.to(1));
             r.submit(2, "CR1\r", 500, t.to(2));
             r.clock.advance(500);
         },
         {"1 timeout", "2 down"}},
        {"a query another client joined",
         [](BridgeRig& r, Told& t) {
             r.submit(1, "CR0\r", 500, t.to(1));
             r.submit(2, "CR3\r", 500, t.to(2));
             EXPECT_EQ(r.submit(3, "CR3\r", 500, t.to(3)), Submitted::Shared);
         },
         {"1 down", "2 down", "3 down"}},
        {"a waiting line withdrawn",
         [](BridgeRig& r, Told& t) {
             r.submit(1, "CR0\r", 500, t.to(1));
             r.submit(2, "C00\r", 500, t.to(2));
             r.queue.withdraw(2, "C00\r");
         },
         {"1 down"}},
        {"already down", [](BridgeRig& r, Told&) { r.queue.setLineUp(false); }, {}},
    };
    for (const auto& c : cases) {
        BridgeRig r;
        Told t;
        c.into(r, t);
        r.queue.setLineUp(false);
        r.serial.receive("80\r");
        r.clock.advance(5000);
        r.queue.setLineUp(true);
        EXPECT_EQ(t.said, c.told) << c.state;
        const std::size_t before = r.serial.writes.size();
        for (std::size_t i = 0; i < ExchangeQueue::kMaxWaiting; ++i)
            EXPECT_EQ(r.submit(1, "CX" + std::to_string(10 + i) + "\r", 500, t.to(1)), Submitted::Queued) << c.state << i;
        EXPECT_EQ(r.submit(1, "CX99\r", 500, t.to(1)), Submitted::Full) << c.state;
        ASSERT_EQ(r.serial.writes.size(), before + 1) << c.state;
        EXPECT_EQ(r.serial.writes.back(), "CX10\r") << c.state;
        r.serial.receive("\x06");
        EXPECT_EQ(t.said.back(), "1 replied \x06") << c.state;
        EXPECT_EQ(t.said.size(), c.told.size() + 1) << c.state;
    }
}

// A write the port refuses (pulled out before anyone told the queue) ends its exchange as the
// line down at once, and the queue goes on to the next.
TEST(ExchangeQueue, AWriteThePortRefusesEndsItsExchangeAsTheLineDown) {
    BridgeRig r;
    Told t;
    r.serial.setPortOpen(false);
    r.submit(1, "CR0\r", 500, t.to(1));
    r.submit(2, "C00\r", 500, t.to(2));
    r.clock.advance(1000);
    EXPECT_EQ(t.said, (std::vector<std::string>{"1 down", "2 down"}));
    r.serial.setPortOpen(true);
    r.submit(1, "CR1\r", 500, t.to(1));
    r.clock.advance(1000);
    EXPECT_EQ(r.serial.writes, (std::vector<std::string>{"CR1\r"}));
}

// The device missing at start, coming, and going: tried every 2 s, each change logged once.
TEST(DeviceKeeper, OpensRetriesAndTellsEachChangeOnce) {
    BridgeRig r;
    r.serial.setPortOpen(false);
    r.serial.log.clear();
    FakeTimer retry{r.clock};
    r.clock.timers.push_back(&retry);
    std::vector<std::string> said;
    int downs = 0;
    DeviceKeeper keeper(r.serial, retry, r.queue, LineSettings{19200}, // not the port's own 9600
                        {.log = [&](Priority, const std::string& s) { said.push_back(s); }, .down = [&] { ++downs; }});
    // Its owner routes the line's failures to it, as the bridge's core does.
    r.serial.setEvents({[&](const std::string& bytes) { r.queue.received(bytes); }, [&](const SerialFailure& f) { keeper.lost(f); }});
    r.serial.failOpen[1] = {SerialFault::NoDevice, "No such file or directory"};
    keeper.start();
    EXPECT_FALSE(r.queue.lineUp());
    r.clock.advance(6000); // three more tries
    EXPECT_EQ(std::count(r.serial.log.begin(), r.serial.log.end(), "open 1 failed"), 4);
    EXPECT_EQ(said.size(), 1u);
    r.serial.failOpen.clear(); // plugged in
    r.clock.advance(2000);
    EXPECT_TRUE(r.serial.portOpen());
    EXPECT_TRUE(r.queue.lineUp());
    EXPECT_EQ(formatSettings(r.serial.settings()), "19200,N,8,1");
    r.clock.advance(10000);
    EXPECT_EQ(std::count(r.serial.log.begin(), r.serial.log.end(), "open 1"), 1); // no tries while up
    r.serial.lose("Input/output error"); // unplugged
    EXPECT_FALSE(r.queue.lineUp());
    EXPECT_EQ(downs, 1);
    r.serial.failOpen[1] = {SerialFault::NoDevice, "No such file or directory"};
    r.clock.advance(4000);
    ASSERT_EQ(said.size(), 4u); // found no device, open, lost, no device again
    EXPECT_NE(said[2].find("the device was disconnected (Input/output error)"), std::string::npos) << said[2];
}
