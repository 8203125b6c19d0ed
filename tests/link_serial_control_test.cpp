// SPDX-License-Identifier: MIT
// The serial control over two links, as every system's control is: ports, failures by port, a
// lost device told once and later, bytes to the one reader.
#include "link/link_serial_control.hpp"

#include <gtest/gtest.h>

#include <deque>

using namespace tova;

namespace {

struct FakeLink : Link {
    // Links let go of while still open, by name: a device nobody may open again.
    static inline std::vector<std::string> droppedOpen;
    ~FakeLink() override {
        if (open_) droppedOpen.push_back(name);
    }
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
    bool bytesWaiting() const override { return unsent; }
    bool unsent = false; // bytes the system has not put on the wire yet
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
    std::vector<FakeLink*> made; // every link, in the order made
    Rig() {
        auto make = [this](const std::string& device) {
            auto l = std::make_unique<FakeLink>(device);
            made.push_back(l.get());
            return l;
        };
        control = std::make_unique<LinkSerialControl>(make, "/dev/one", "/dev/two",
                                                      [this](std::function<void()> f) { later.push_back(std::move(f)); });
        one = made.at(0);
        two = made.at(1);
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
    EXPECT_EQ(r.control->devicePath(0), ""); // there are two
    EXPECT_EQ(r.control->devicePath(3), "");
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

TEST(LinkSerialControl, APortLedElsewhereOpensItsNewDevice) {
    Rig r;
    FakeLink::droppedOpen.clear();
    r.control->setPortOpen(true);
    r.control->leadPort(1, "COM5"); // the open port: closed first, and nothing told
    EXPECT_FALSE(r.control->portOpen());
    EXPECT_TRUE(FakeLink::droppedOpen.empty()) << FakeLink::droppedOpen.front();
    ASSERT_EQ(r.made.size(), 3u);
    FakeLink* five = r.made[2];
    EXPECT_EQ(r.control->devicePath(1), "COM5");
    EXPECT_EQ(r.control->devicePath(2), "/dev/two");
    r.control->setPortOpen(true);
    r.control->output("C00\r");
    EXPECT_EQ(five->written, "C00\r");
    five->arrive("\x06");
    EXPECT_EQ(r.got, "\x06");
    // The port not chosen is led too, and stays closed.
    r.control->leadPort(2, "COM7");
    EXPECT_EQ(r.control->devicePath(2), "COM7");
    EXPECT_TRUE(r.control->portOpen());
    EXPECT_THROW(r.control->leadPort(3, "COM8"), SerialError);
}

// The wire is busy while a line's bytes are still leaving at the line's speed, or while the
// system holds bytes it has not sent; a closed port is never busy.
TEST(LinkSerialControl, TheWireIsBusyWhileBytesAreLeaving) {
    Rig r;
    EXPECT_FALSE(r.control->outputBusy());
    r.control->setSettings(LineSettings{9600});
    r.control->setPortOpen(true);
    EXPECT_FALSE(r.control->outputBusy());
    r.one->unsent = true;
    EXPECT_TRUE(r.control->outputBusy());
    r.one->unsent = false;
    r.control->output(std::string(5000, 'x') + "\r"); // five seconds at 9600
    EXPECT_TRUE(r.control->outputBusy());
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
