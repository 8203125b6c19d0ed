// SPDX-License-Identifier: MIT
// The serial control over two links, as every system's control is: ports, failures by port, a
// lost device told once and later, bytes to the one reader.
#include "link/link_serial_control.hpp"

#include <gtest/gtest.h>

#include <deque>

using namespace tova;

namespace {

struct FakeLink : Link {
    std::string name;
    std::optional<Fault> failOpen, failApply;
    bool open_ = false, taking = true;
    std::string written, waiting;
    Events events;
    explicit FakeLink(std::string n) : name(std::move(n)) {}
    void setEvents(Events e) override { events = std::move(e); }
    std::optional<Fault> open(const LineSettings&) override {
        if (failOpen) return failOpen;
        open_ = true;
        return std::nullopt;
    }
    void openLater(const LineSettings& s, std::function<void(std::optional<Fault>)> done) override { done(open(s)); }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    std::optional<Fault> apply(const LineSettings&) override { return open_ ? failApply : std::nullopt; }
    bool write(std::string_view b) override {
        if (taking) written += b;
        return taking;
    }
    std::string readAll() override { return std::exchange(waiting, {}); }
    bool bytesWaiting() const override { return false; }
    std::size_t discardInput() override { return std::exchange(waiting, {}).size(); }
    std::string errorText() const override { return "the link's own words"; }
    std::string describe() const override { return name; }
    // The far end.
    void arrive(const std::string& b) {
        waiting += b;
        events.readable();
    }
    void fail(const std::string& why) {
        open_ = false;
        events.lost(why);
    }
};

struct Rig {
    FakeLink* one;
    FakeLink* two;
    std::deque<std::function<void()>> later; // what waits for the running call to return
    std::unique_ptr<LinkSerialControl> control;
    std::string got;
    std::vector<SerialFailure> lost;
    Rig() {
        auto a = std::make_unique<FakeLink>("/dev/one"), b = std::make_unique<FakeLink>("/dev/two");
        one = a.get();
        two = b.get();
        control = std::make_unique<LinkSerialControl>(std::move(a), std::move(b),
                                                      [this](std::function<void()> f) { later.push_back(std::move(f)); });
        control->setEvents({[this](const std::string& bytes) { got += bytes; },
                            [this](const SerialFailure& f) { lost.push_back(f); }});
    }
    void runLater() {
        while (!later.empty()) {
            auto f = std::move(later.front());
            later.pop_front();
            f();
        }
    }
};

} // namespace

TEST(LinkSerialControl, PortsFailuresAndTheDeviceLost) {
    Rig r;
    r.control->setCommPort(2);
    r.control->setPortOpen(true);
    r.control->output("CR0\r");
    EXPECT_EQ(r.two->written, "CR0\r");
    EXPECT_EQ(r.control->devicePath(2), "/dev/two");
    EXPECT_THROW(r.control->setCommPort(1), SerialError); // open: no renumbering
    EXPECT_THROW(r.control->setPortOpen(true), SerialError);

    r.one->arrive("00\r"); // the port not chosen tells nothing
    r.two->arrive("00\r");
    EXPECT_EQ(r.got, "00\r");

    r.two->fail("unplugged");
    EXPECT_TRUE(r.lost.empty()); // after the running call has returned, and once
    EXPECT_FALSE(r.control->portOpen());
    r.runLater();
    ASSERT_EQ(r.lost.size(), 1u);
    EXPECT_EQ(r.lost[0].fault, SerialFault::Disconnected);
    EXPECT_EQ(r.lost[0].port, 2);
    EXPECT_EQ(r.lost[0].device, "/dev/two");
    try {
        r.control->output("C00\r");
        FAIL() << "wrote to a closed port";
    } catch (const SerialError& e) {
        EXPECT_EQ(e.failure().fault, SerialFault::NotOpen);
        EXPECT_EQ(e.failure().text, "unplugged"); // the failure that closed it
    }

    r.control->setCommPort(1);
    r.one->failOpen = Link::Fault{SerialFault::NoDevice, "No such file"};
    EXPECT_THROW(r.control->setPortOpen(true), SerialError);
    EXPECT_EQ(r.control->lastFailure().port, 1);
    EXPECT_EQ(r.control->lastFailure().fault, SerialFault::NoDevice);
    EXPECT_THROW(r.control->setCommPort(3), SerialError);
}

TEST(LinkSerialControl, WithoutAReaderBytesWaitForDiscarding) {
    Rig r;
    r.control->setPortOpen(true);
    r.control->setEvents({});
    r.one->arrive("late reply\r");
    EXPECT_EQ(r.got, "");
    EXPECT_EQ(r.control->discardInput(), 11u);
    r.one->taking = false;
    try {
        r.control->output("C00\r");
        FAIL() << "a write not taken went unsaid";
    } catch (const SerialError& e) {
        EXPECT_EQ(e.failure().text, "the link's own words");
    }
    // Settings applied to the open port, which stays open; one refused keeps the ones in force.
    r.control->setSettings(LineSettings{9600});
    EXPECT_EQ(r.control->settings(), LineSettings{9600});
    r.one->failApply = Link::Fault{SerialFault::Other, "bad speed"};
    EXPECT_THROW(r.control->setSettings(LineSettings{19200}), SerialError);
    EXPECT_EQ(r.control->settings(), LineSettings{9600});
    EXPECT_TRUE(r.control->portOpen());
}
