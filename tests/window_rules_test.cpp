// SPDX-License-Identifier: MIT
// What both windows take from below the seam: the keys on a button, the picture's pixels, the
// trace of the line.
#include "fakes.hpp"
#include "link/tracing_serial.hpp"
#include "panel/button_keys.hpp"
#include "tables/layout_table.hpp"
#include "tables/picture.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace tova;
using namespace tova::test;

TEST(ButtonKeys, ASequenceOfKeysOnAButton) {
    using K = ButtonKeys::Key;
    using A = ButtonKeys::Act;
    struct Step {
        char what; // p: press, r: release, a: release flagged as auto-repeat, l: the release stands, f: focus lost
        K key;
        A act;
    };
    struct Case {
        const char* name;
        bool held;
        std::vector<Step> steps;
    } cases[] = {
        {"space clicks at its release", false, {{'p', K::Space, A::ShowDown}, {'r', K::Space, A::Wait}, {'l', K::Space, A::Click}}},
        {"enter clicks at its press", false, {{'p', K::Enter, A::Click}, {'r', K::Enter, A::Wait}, {'l', K::Enter, A::None}}},
        {"a held key is one press", false,
         {{'p', K::Space, A::ShowDown}, {'r', K::Space, A::Wait}, {'p', K::Space, A::StillHeld},
          {'a', K::Space, A::None}, {'p', K::Space, A::StillHeld}, {'r', K::Space, A::Wait}, {'l', K::Space, A::Click}}},
        {"a second key while one is held", false,
         {{'p', K::Space, A::ShowDown}, {'p', K::Enter, A::None}, {'r', K::Enter, A::None}, {'r', K::Space, A::Wait},
          {'l', K::Space, A::Click}}},
        {"a key that leaves with the focus", false,
         {{'p', K::Space, A::ShowDown}, {'f', K::Space, A::None}, {'r', K::Space, A::None}, {'l', K::Space, A::None}}},
        {"held buttons take no keys", true,
         {{'p', K::Space, A::Ignore}, {'r', K::Space, A::Pass}, {'p', K::Enter, A::Ignore}, {'l', K::Space, A::None}}},
        {"other keys are the window's", false, {{'p', K::Other, A::Pass}, {'r', K::Other, A::Pass}}},
    };
    for (const auto& c : cases) {
        ButtonKeys keys;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            A got = A::None;
            if (s.what == 'p') got = keys.press(s.key, c.held);
            else if (s.what == 'r' || s.what == 'a') got = keys.release(s.key, c.held, s.what == 'a');
            else if (s.what == 'l') got = keys.letGo();
            else keys.focusLost();
            EXPECT_EQ(int(got), int(s.act)) << c.name << ", step " << i;
        }
    }
}

TEST(Picture, ItsPixelsFillItsBox) {
    const PicturePixels& p = picturePixels();
    const LayoutControl* box = findLayoutControl("Image1");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(p.width, box->width / kTwipsPerPixel); // 80 by 26, shown unscaled
    EXPECT_EQ(p.height, box->height / kTwipsPerPixel);
    ASSERT_EQ(p.rgb.size(), std::size_t(p.width * p.height));
    // A picture, not one colour: its top left is the dark blue of its first row.
    EXPECT_EQ(p.rgb.front(), 0x203060u);
    EXPECT_GT(std::set<std::uint32_t>(p.rgb.begin(), p.rgb.end()).size(), 100u);
}

TEST(Trace, EveryLineStampedAndWhole) {
    const auto at = std::chrono::system_clock::from_time_t(0) + std::chrono::milliseconds(86400000LL * 365 + 7);
    const std::string line = traceLine(at, "TX", " C 0 0 CR ");
    // "YYYY-MM-DD HH:MM:SS.mmm TX " C 0 0 CR "" in local time.
    ASSERT_EQ(line.size(), 23 + 4 + 12 + 1);
    EXPECT_EQ(line.substr(19, 4), ".007");
    EXPECT_EQ(line.substr(23), " TX \" C 0 0 CR \"\n");

    const auto path = std::filesystem::temp_directory_path() / "tova-trace-test.log";
    std::filesystem::remove(path);
    {
        FakeClock clock;
        FakeSerial serial(clock);
        TracingSerial traced(serial, path.string());
        std::string got;
        traced.setEvents({[&](const std::string& bytes) { got += bytes; }, {}});
        traced.setSettings(LineSettings{19200});
        traced.setPortOpen(true);
        traced.output("CR0\r");
        serial.receive("00\r");
        traced.noteNoReply();
        serial.lose("unplugged");
        EXPECT_EQ(got, "00\r");
    }
    std::vector<std::string> verbs;
    {
        std::ifstream in(path);
        for (std::string l; std::getline(in, l);) verbs.push_back(l.substr(24, l.find(' ', 24) - 24));
    }
    EXPECT_EQ(verbs, (std::vector<std::string>{"SET", "OPEN", "TX", "RX", "TIMEOUT", "LOST"}));
    std::filesystem::remove(path);
    // A folder is no trace file.
    FakeClock clock;
    FakeSerial serial(clock);
    EXPECT_THROW(TracingSerial(serial, std::filesystem::temp_directory_path().string()), std::runtime_error);
}
