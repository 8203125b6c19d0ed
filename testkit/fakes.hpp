// SPDX-License-Identifier: MIT
#pragma once
// Fakes of the ports, for driving the logic without a window, a port or a clock: shared by the
// tests, the fuzz targets and the benchmarks.
#include "core/clock.hpp"
#include "core/settings.hpp"
#include "panel/panel.hpp"
#include "tables/layout_table.hpp"
#include "fake_window.hpp"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tova::test {

class FakeClock;

class FakeTimer : public Timer {
  public:
    explicit FakeTimer(FakeClock& clock) : m_clock(clock) {}
    void setInterval(int ms) override;
    int interval() const override { return m_interval; }
    void setEnabled(bool on) override;
    bool enabled() const override { return m_enabled; }
    void setOnTick(std::function<void()> h) override { m_onTick = std::move(h); }

    long long deadline = 0;
    std::function<void()> m_onTick;

  private:
    FakeClock& m_clock;
    int m_interval = 0;
    bool m_enabled = false;
};

// Owns "now"; advance() fires due timers in deadline order, re-armed ones included.
class FakeClock : public Clock {
  public:
    long long ms = 0; // now
    // The calendar's time at ms 0: 2026-12-01 10:00:00 UTC.
    static constexpr long long kWallAtStart = 1796119200000;
    std::vector<FakeTimer*> timers;

    std::chrono::milliseconds now() const override { return std::chrono::milliseconds(ms); }
    std::chrono::milliseconds wallTime() const override { return std::chrono::milliseconds(kWallAtStart + ms); }

    void advance(long long by) {
        const long long end = ms + by;
        for (;;) {
            FakeTimer* next = nullptr;
            for (auto* t : timers)
                if (t->enabled() && t->deadline <= end && (!next || t->deadline < next->deadline))
                    next = t;
            if (!next) break;
            ms = next->deadline;
            next->deadline = ms + std::max(1, next->interval()); // periodic unless stopped
            if (next->m_onTick) next->m_onTick();
        }
        ms = end;
    }
};

// A timer the code under test makes for itself: on the clock while it lives.
class OwnFakeTimer : public FakeTimer {
  public:
    explicit OwnFakeTimer(FakeClock& clock) : FakeTimer(clock), m_on(clock) { m_on.timers.push_back(this); }
    ~OwnFakeTimer() override { std::erase(m_on.timers, static_cast<FakeTimer*>(this)); }

  private:
    FakeClock& m_on;
};

// What a class that makes its own timers is given to make them with.
inline MakeTimer fakeTimers(FakeClock& clock) {
    return [&clock] { return std::make_unique<OwnFakeTimer>(clock); };
}

inline void FakeTimer::setInterval(int ms) {
    m_interval = ms;
    if (m_enabled) deadline = m_clock.ms + std::max(1, ms);
}

inline void FakeTimer::setEnabled(bool on) {
    m_enabled = on;
    if (on) deadline = m_clock.ms + std::max(1, m_interval);
}

class FakeSerial : public SerialControl {
  public:
    explicit FakeSerial(FakeClock& clock) : m_clock(clock) {}

    // Which ports cannot be opened, and how they fail.
    struct Fault {
        SerialFault fault;
        std::string text;
    };
    std::map<int, Fault> failOpen;
    std::string failSettings; // non-empty: setSettings fails with this text
    std::string written;      // every byte handed over, in order
    std::vector<std::string> writes;
    std::vector<std::string> log; // "open 1", "close", "port 2", "settings ..."
    // Bytes drain at the line rate when set; outputBusy() reports what waits.
    bool pacing = false;

    void setCommPort(int p) override {
        if (m_open) fail({SerialFault::Other, "Port already open"});
        m_port = p;
        log.push_back("port " + std::to_string(p));
    }
    int commPort() const override { return m_port; }
    void setSettings(const LineSettings& s) override {
        if (!failSettings.empty()) fail({SerialFault::Other, failSettings});
        m_settings = s;
        log.push_back("settings " + formatSettings(s));
    }
    LineSettings settings() const override { return m_settings; }
    void setPortOpen(bool open) override {
        if (!open) {
            m_open = false;
            log.push_back("close");
            return;
        }
        if (m_open) fail({SerialFault::Other, "Port already open"});
        if (auto it = failOpen.find(m_port); it != failOpen.end()) {
            log.push_back("open " + std::to_string(m_port) + " failed");
            fail(it->second);
        }
        m_open = true;
        m_last = {};
        log.push_back("open " + std::to_string(m_port));
    }
    bool portOpen() const override { return m_open; }
    void output(std::string_view text) override {
        if (!m_open)
            throw SerialError({m_port, devicePath(m_port), SerialFault::NotOpen,
                               m_last.port == m_port ? m_last.text : std::string()});
        written += text;
        writes.emplace_back(text);
        if (pacing) {
            queueUntil = std::max<long long>(queueUntil, m_clock.ms * 1000) +
                         wireTime(text.size(), m_settings).count();
            maxQueuedUs = std::max(maxQueuedUs, queueUntil - m_clock.ms * 1000);
        }
    }
    void setEvents(SerialEvents e) override { m_events = std::move(e); }
    std::size_t discardInput() override { return std::exchange(m_pending, {}).size(); }
    std::string devicePath(int port) const override {
        const auto it = m_paths.find(port);
        return it != m_paths.end() ? it->second : "/fake/com" + std::to_string(port);
    }
    // A port led elsewhere opens as its new device does: failDevice names those that fail.
    std::map<std::string, Fault> failDevice;
    void leadPort(int port, const std::string& device) override {
        if (port < 1 || port > 2) fail({SerialFault::Other, "Invalid port number"});
        if (m_open && port == m_port) setPortOpen(false);
        m_paths[port] = device;
        failOpen.erase(port);
        if (auto it = failDevice.find(device); it != failDevice.end()) failOpen[port] = it->second;
        log.push_back("lead " + std::to_string(port) + " " + device);
    }
    SerialFailure lastFailure() const override { return m_last; }
    bool outputBusy() const override { return pacing && queueUntil > m_clock.ms * 1000; }

    // The far end sends text; it waits while nobody reads the line.
    void receive(const std::string& text) {
        m_pending += text;
        if (m_events.received) m_events.received(std::exchange(m_pending, {}));
    }
    // The device vanishes.
    void lose(const std::string& text) {
        m_open = false;
        m_last = {m_port, devicePath(m_port), SerialFault::Disconnected, text};
        if (m_events.lost) m_events.lost(m_last);
    }

    long long queueUntil = 0;  // µs: when the last byte handed over has left the wire
    long long maxQueuedUs = 0; // the longest backlog seen

  private:
    [[noreturn]] void fail(const Fault& f) {
        m_last = {m_port, devicePath(m_port), f.fault, f.text};
        throw SerialError(m_last);
    }
    FakeClock& m_clock;
    int m_port = 1;
    LineSettings m_settings{9600};
    bool m_open = false;
    std::string m_pending; // received while nobody reads
    std::map<int, std::string> m_paths;
    SerialFailure m_last;
    SerialEvents m_events;
};

// A Panel wired to fakes.
struct Rig {
    FakeClock clock;
    FakeTimer t1{clock}, t2{clock}, t3{clock}, t4{clock};
    FakeSerial serial{clock};
    FakeWindow window;
    Panel panel{serial, window, Timers{t1, t2, t3, t4}};

    Rig() { clock.timers = {&t1, &t2, &t3, &t4}; }
    // Started as the window starts, with a clean record of what start-up did.
    static void load(Rig& r) {
        r.panel.startUp();
        r.window.dismiss();
        r.serial.log.clear();
    }
    std::string label(std::string_view n) const { return window.caption(n); }
};

} // namespace tova::test
