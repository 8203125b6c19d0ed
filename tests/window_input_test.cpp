// SPDX-License-Identifier: MIT
// The rules every window follows with the operator's input, its warning box and its end, and
// the panel program put together, on fakes of a window and of a system.
#include "fakes.hpp"
#include "tables/controls.hpp"
#include "window/panel_program.hpp"
#include "window/window_surface.hpp"

#include <gtest/gtest.h>

#include <optional>

using namespace tova;
using namespace tova::test;

namespace {

// What reached the handlers, in order.
struct Heard {
    std::vector<std::string> said;
    bool holds = true; // mouseDown takes a held button
    InputHandlers handlers() {
        return {[this](const std::string& c) { said.push_back("click " + c); },
                [this](const std::string& c) {
                    said.push_back("down " + c);
                    return holds;
                },
                [this](const std::string& c) { said.push_back("up " + c); },
                [this] {
                    said.push_back("let go");
                    return std::string("Command1");
                },
                [this] { said.push_back("picture"); },
                [this](int key, int shift) { said.push_back("key " + std::to_string(key) + " " + std::to_string(shift)); }};
    }
};

struct Face {
    bool down = false;
    int stillHeld = 0;
    ButtonFace face() {
        return {[this] { return down; }, [this](bool d) { down = d; }, [this] { ++stillHeld; }};
    }
};

} // namespace

TEST(WindowInput, KeysOnAButtonAndThePointerOnAHeldOne) {
    using K = ButtonKeys::Key;
    Heard heard;
    WindowInput input(heard.handlers());
    Face f;
    int awaited = 0;
    // The space bar shows the button down; its release stands once no press follows it.
    EXPECT_EQ(input.keyDown("Command17", K::Space, false, f.face()), WindowInput::Key::Taken);
    EXPECT_TRUE(f.down);
    EXPECT_EQ(input.keyUp("Command17", K::Space, false, false, [&] { ++awaited; }), WindowInput::Key::Taken);
    EXPECT_EQ(awaited, 1);
    EXPECT_TRUE(heard.said.empty());
    // An auto-repeat's press in between: still held, and the window's wait for it is off.
    EXPECT_EQ(input.keyDown("Command17", K::Space, false, f.face()), WindowInput::Key::Taken);
    EXPECT_EQ(f.stillHeld, 1);
    input.keyUp("Command17", K::Space, false, false, [&] { ++awaited; });
    input.keyLetGo("Command17", f.face());
    EXPECT_FALSE(f.down);
    EXPECT_EQ(heard.said, std::vector<std::string>{"click Command17"});
    // Enter clicks at its press; a held button takes no key at all; others are the window's.
    input.keyDown("Command18", K::Enter, false, f.face());
    EXPECT_EQ(heard.said.back(), "click Command18");
    EXPECT_EQ(input.keyDown("Command1", K::Space, true, f.face()), WindowInput::Key::Drop);
    EXPECT_EQ(input.keyUp("Command1", K::Space, true, false, [&] { ++awaited; }), WindowInput::Key::Drop);
    EXPECT_EQ(input.keyDown("Command17", K::Other, false, f.face()), WindowInput::Key::Pass);
    // The pointer holds a held button and shows it down; its release lets it go.
    heard.said.clear();
    Face held;
    EXPECT_TRUE(input.pointerDown("Command1", held.face()));
    EXPECT_TRUE(held.down);
    input.pointerUp("Command1", held.face());
    EXPECT_FALSE(held.down);
    // A button the handlers do not let hold is not shown down.
    heard.holds = false;
    EXPECT_FALSE(input.pointerDown("Command2", held.face()));
    EXPECT_FALSE(held.down);
    EXPECT_EQ(heard.said, (std::vector<std::string>{"down Command1", "up Command1", "down Command2"}));
    // Every key reaches the window with its shift state.
    input.windowKey(75, false, true, false);
    input.windowKey(75, true, true, true);
    EXPECT_EQ(heard.said.back(), "key 75 " + std::to_string(Panel::kShiftMask | Panel::kCtrlMask | Panel::kAltMask));
    EXPECT_EQ(heard.said[heard.said.size() - 2], "key 75 " + std::to_string(Panel::kCtrlMask));
}

TEST(WindowSurface, TheBoxOpensAfterTheHandlerWithTheHeldButtonLetGoFirst) {
    Heard heard;
    std::vector<std::function<void()>> later;
    std::vector<std::string> window; // what the window did, in order
    WindowHooks hooks;
    hooks.showCaption = [&](std::string_view c, const std::string& t) { window.push_back(std::string(c) + "=" + t); };
    hooks.applyHeight = [&](int twips) { window.push_back("height " + std::to_string(twips)); };
    hooks.box = {[&](std::function<void()> f) { later.push_back(std::move(f)); },
                 [&](const std::string& c) { window.push_back("up " + c); },
                 [&](const std::string& title, const std::string& text, bool question, std::function<void(bool)> closed) {
                     window.push_back(std::string(question ? "question " : "box ") + title + ": " + text);
                     closed(question);
                 }};
    hooks.close = [&] { window.push_back("closed"); };
    WindowSurface w(8730, hooks);
    w.input().setHandlers(heard.handlers());
    // What the handlers set is read back as they set it.
    EXPECT_EQ(w.caption("Command17"), "ON");
    w.setCaption("Label22", " Power ON");
    EXPECT_EQ(w.caption("Label22"), " Power ON");
    w.setHeight(5350);
    EXPECT_EQ(w.height(), 5350);
    bool dismissed = false;
    w.showWarning("COM1 (/test/no-adapter): no such device", [&] { dismissed = true; });
    EXPECT_EQ(window.back(), "height 5350"); // nothing yet: the handler is still running
    ASSERT_EQ(later.size(), 1u);
    later.front()();
    EXPECT_EQ(heard.said, std::vector<std::string>{"let go"});
    EXPECT_EQ(window[window.size() - 2], "up Command1");
    EXPECT_EQ(window.back(), "box tova-control: COM1 (/test/no-adapter): no such device");
    EXPECT_TRUE(dismissed);
    // A question opens the same way, with its answer told back.
    std::optional<bool> answer;
    w.askYesNo("Use it as COM1?", [&](bool yes) { answer = yes; });
    EXPECT_FALSE(answer);
    later.back()();
    EXPECT_EQ(window.back(), "question tova-control: Use it as COM1?");
    EXPECT_EQ(answer, std::optional<bool>(true));
    // After END no event reaches the handlers.
    w.end();
    EXPECT_EQ(window.back(), "closed");
    const auto said = heard.said;
    w.input().click("Command17");
    EXPECT_EQ(heard.said, said);
}

namespace {

// A system of the test's own: every step it is asked for, a fake line, fake timers and window.
struct FakeSystem : PanelPlatform {
    FakeClock clock;
    FakeSerial serial{clock};
    FakeWindow shown;
    struct Store : DeviceStore {
        std::string where() const override { return "nowhere"; }
        std::optional<Kept> read() override { return Kept{}; }
        bool write(const Kept& k) override {
            written.push_back(k);
            return true;
        }
        std::vector<Kept> written;
    } store;
    std::vector<std::string> steps;
    InputHandlers input;

    PanelSystem system() const override { return {"/test/com1", "/test/com2", {}, "nowhere"}; }
    DeviceStore& keptDevices() override { return store; }
    std::vector<SerialPortInfo> serialPorts() override { return {{"/test/adapter", "USB Serial Port"}}; }
    int finish(const cli::Outcome& o) override {
        steps.push_back("finish " + std::to_string(o.exitCode));
        return o.exitCode;
    }
    void notice(const std::string& text) override { steps.push_back("notice " + text); }
    void startWindowing() override { steps.push_back("windowing"); }
    void startDemo(std::string& com1, std::string& com2) override {
        com1 = "demo1", com2 = "demo2";
        steps.push_back("demo");
    }
    SerialControl& serialControl(const std::string& com1, const std::string& com2) override {
        steps.push_back("serial " + com1 + " " + com2);
        return serial;
    }
    std::unique_ptr<Timer> timer() override { return fakeTimers(clock)(); }
    Window& window() override {
        steps.push_back("window");
        return shown;
    }
    void setInput(InputHandlers h) override {
        steps.push_back(h.click ? "input" : "input off");
        input = std::move(h);
    }
    void show() override { steps.push_back("show"); }
    void screenshotLater(const std::string& file, int h) override { steps.push_back("shot " + file + " " + std::to_string(h)); }
    int run() override {
        steps.push_back("run");
        input.click("Command17"); // POWER ON while it runs
        // COM2 led to the adapter from the COM button's menu: kept for COM2 alone.
        input.contextMenu(std::string(ctl::ComButton));
        if (shown.menu.size() == 2 && shown.menu[1].entries.size() == 3) shown.menu[1].entries[1].chosen();
        return 0;
    }
};

} // namespace

TEST(PanelProgram, PutTogetherInOneOrderOnEverySystem) {
    FakeSystem s;
    EXPECT_EQ(runPanel({"--demo", "--screenshot", "x.png"}, s), 0);
    EXPECT_EQ(s.steps, (std::vector<std::string>{"windowing", "demo", "notice tova-control: demo: virtual projectors on COM1 demo1 and COM2 demo2\n",
                                                 "serial demo1 demo2", "window", "input", "show", "shot x.png 0", "run", "input off"}));
    // Started up as the window's load does: COM1 opened at 19200, compact; the press reached the line.
    EXPECT_TRUE(s.serial.portOpen());
    EXPECT_EQ(s.shown.height(), 5350);
    EXPECT_EQ(s.serial.writes, std::vector<std::string>{"C00\r"});
    ASSERT_EQ(s.store.written.size(), 1u);
    EXPECT_EQ(s.store.written[0].com1, std::nullopt);
    EXPECT_EQ(s.store.written[0].com2, std::optional<std::string>("/test/adapter"));
    // A mistake on the command line ends before any window.
    FakeSystem wrong;
    EXPECT_EQ(runPanel({"--bogus"}, wrong), cli::kUsageError);
    EXPECT_EQ(wrong.steps, std::vector<std::string>{"finish 64"});
}
