// SPDX-License-Identifier: MIT
// What both windows take from below the seam: the keys on a button, a caption's lines, the
// outline's corners, the tab order, the picture's pixels, the trace of the line.
#include "fakes.hpp"
#include "link/trace_file.hpp"
#include "link/tracing_serial.hpp"
#include "tables/controls.hpp"
#include "tables/layout_table.hpp"
#include "tables/picture.hpp"
#include "window/button_keys.hpp"
#include "window/caption_lines.hpp"
#include "window/control_plan.hpp"
#include "window/outline.hpp"
#include "window/png_file.hpp"
#include "core/utf8.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

namespace {
// A font of the test's own: 6 px a Latin character, 12 px a Japanese one; ink 8 px above the
// baseline and 2 below.
int advanceOf(std::string_view s) {
    int w = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        w += b < 0x80 ? 6 : 12;
        i += b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    }
    return w;
}
const TextMeasure kFont{advanceOf, [](std::string_view s) { return double(advanceOf(s)); },
                        [](std::string_view) { return Ink{-8, 10}; }};
} // namespace

TEST(CaptionLines, BrokenWhereACaptionMayBreak) {
    struct Case {
        const char* caption;
        int width;
        std::vector<std::string> lines;
    } cases[] = {
        {"DISPLAY CLEAR", 50, {"DISPLAY", "CLEAR"}},
        {"DISPLAY CLEAR", 78, {"DISPLAY CLEAR"}},       // exactly its width: one line
        {"A-PC Adj", 30, {"A-PC", "Adj"}},
        {"A-PC Adj", 18, {"A-", "PC", "Adj"}},          // after a hyphen
        {"STATUS", 20, {"STA", "TUS"}},                 // a word wider than the button, anywhere
        {"データを表示しない", 72, {"データを表示", "しない"}},
        {"データを表示しない", 30, {"デー", "タを", "表示", "しな", "い"}}, // never before the long vowel
        {"  OFF  ", 18, {"OFF"}},
        // Full-width forms are Japanese text from the first (U+FF01) to the last (U+FF60).
        {"AB\xef\xbc\x81" "CD", 30, {"AB\xef\xbc\x81", "CD"}},
        {"AB\xef\xbd\xa0" "CD", 30, {"AB\xef\xbd\xa0", "CD"}},
    };
    for (const auto& c : cases) EXPECT_EQ(wrapCaption(c.caption, c.width, kFont.extent), c.lines) << c.caption << " " << c.width;
    // Two-, three- and four-byte characters are never cut, however narrow the button.
    for (const char* caption : {"\xc3\x89\xc3\x89\xc3\x89\xc3\x89", "\xe3\x83\x87\xe3\x83\x87\xe3\x83\x87",
                                "\xf0\x9f\x98\x80\xf0\x9f\x98\x80"})
        for (int width : {1, 10, 20}) {
            std::string joined;
            for (const std::string& line : wrapCaption(caption, width, kFont.extent)) {
                EXPECT_TRUE(validUtf8(line)) << caption << " " << width;
                joined += line;
            }
            EXPECT_EQ(joined, caption) << width;
        }
}

TEST(CaptionLines, OneLineWhereItFitsElseTheLinesShareTheButton) {
    // It fits the contents: the platform centres it itself.
    EXPECT_TRUE(captionLines("CLEAR", {0, 0, 40, 40}, 30, false, kFont).empty());
    // Two lines in a button 50 by 40: inside its edge 46 by 37, their ink (20) evenly spaced.
    const auto lines = captionLines("DISPLAY CLEAR", {0, 0, 50, 40}, 46, false, kFont);
    ASSERT_EQ(lines.size(), 2u);
    const int gap = (37 - 20) / 3;
    EXPECT_EQ(lines[0].baseline, 1 + gap + 8);
    EXPECT_EQ(lines[1].baseline, 1 + gap + 10 + gap + 8);
    EXPECT_EQ(lines[0].left, 2 + (46 - 42) / 2); // centred
    // Shown pressed: one pixel down and right.
    const auto pushed = captionLines("DISPLAY CLEAR", {0, 0, 50, 40}, 46, true, kFont);
    EXPECT_EQ(pushed[1].baseline, lines[1].baseline + 1);
    EXPECT_EQ(pushed[1].left, lines[1].left + 1);
}

TEST(Outline, EachEndReachesHalfTheWidestLineThatMeetsIt) {
    const auto lines = outlineLines();
    for (int dpi : {96, 144}) {
        const auto strokes = outlineStrokes(dpi);
        ASSERT_EQ(strokes.size(), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const OutlineLine& l = lines[i];
            const OutlineStroke& s = strokes[i];
            EXPECT_DOUBLE_EQ(s.width, l.widthPixels * dpi / 96.0);
            const int ends[2][2] = {{l.x1, l.y1}, {l.x2, l.y2}};
            const double at[2][2] = {{s.x1, s.y1}, {s.x2, s.y2}};
            for (int e = 0; e < 2; ++e) {
                double reach = 0;
                for (std::size_t j = 0; j < lines.size(); ++j)
                    if (j != i && ((lines[j].x1 == ends[e][0] && lines[j].y1 == ends[e][1]) ||
                                   (lines[j].x2 == ends[e][0] && lines[j].y2 == ends[e][1])))
                        reach = std::max(reach, lines[j].widthPixels * dpi / 96.0 / 2);
                const double moved = std::hypot(at[e][0] - ends[e][0] * dpi / 1440.0, at[e][1] - ends[e][1] * dpi / 1440.0);
                EXPECT_NEAR(moved, reach, 1e-9) << l.name << " end " << e << " at " << dpi;
            }
        }
    }
}

TEST(TabOrder, TheLayoutsOrderSkippingWhatCannotTakeTheFocus) {
    const auto order = tabOrder();
    std::set<int> tabs;
    for (auto name : order) tabs.insert(findLayoutControl(name)->tab);
    EXPECT_EQ(tabs.size(), order.size()); // no two share a place: one order for both windows
    ASSERT_GE(order.size(), 3u);
    auto all = [](std::string_view) { return true; };
    EXPECT_EQ(nextInTabOrder(order[0], 1, all), order[1]);
    EXPECT_EQ(nextInTabOrder(order[0], -1, all), order.back()); // round the end
    EXPECT_EQ(nextInTabOrder(order[1], 1, all), order[2]);      // from where it is, wherever that is
    EXPECT_EQ(nextInTabOrder(order.back(), 1, all), order[0]);
    auto notSecond = [&](std::string_view n) { return n != order[1]; };
    EXPECT_EQ(nextInTabOrder(order[0], 1, notSecond), order[2]);
    EXPECT_EQ(nextInTabOrder(order[0], 1, [](std::string_view) { return false; }), order[0]);
    // From a control outside the order the whole circle is looked at, its start included.
    auto onlyFirst = [&](std::string_view n) { return n == order[0]; };
    EXPECT_EQ(nextInTabOrder("Frame1", 1, onlyFirst), order[0]);
    // The plan puts each control in its container's pixels, its font its own only where it
    // differs from its container's.
    for (const PlannedControl& p : planControls(96)) {
        EXPECT_EQ(p.place.left, (p.layout->left + 7) / 15) << p.layout->name;
        const LayoutControl* in = p.layout->container.empty() ? nullptr : findLayoutControl(p.layout->container);
        EXPECT_EQ(p.ownFont, p.layout->font != (in ? in->font : FontCode::W)) << p.layout->name;
    }
    // Raised above what it covers: the COM frame over the COM button; a button that lies over
    // nothing stays where it was made.
    const auto plan = planControls(96);
    auto planned = [&](std::string_view name) {
        const auto p = std::find_if(plan.begin(), plan.end(), [&](const PlannedControl& c) { return c.layout->name == name; });
        return p == plan.end() ? nullptr : &*p;
    };
    EXPECT_TRUE(planned(ctl::ComFrame)->covers);
    EXPECT_FALSE(planned(ctl::ComButton)->covers);
    EXPECT_FALSE(planned(ctl::PowerOn)->covers);
    // Held buttons are the hold table's, and only buttons.
    for (auto [name, held] : {std::pair{"Command1", true}, std::pair{"Command59", true}, std::pair{"Command17", false},
                              std::pair{"Option1", false}}) {
        ASSERT_TRUE(planned(name)) << name;
        EXPECT_EQ(planned(name)->held, held) << name;
    }
}

// Places that meet at an edge, on each side, share no area; a twip more and they do.
TEST(ControlPlan, PlacesShareAnAreaNotAnEdge) {
    auto at = [](int left, int top, int width, int height) {
        LayoutControl c{};
        c.left = left, c.top = top, c.width = width, c.height = height;
        return c;
    };
    const LayoutControl a = at(100, 100, 50, 50);
    const struct {
        LayoutControl b;
        bool shares;
    } cases[] = {
        {at(150, 100, 50, 50), false}, {at(149, 100, 50, 50), true}, // right
        {at(50, 100, 50, 50), false},  {at(51, 100, 50, 50), true},  // left
        {at(100, 150, 50, 50), false}, {at(100, 149, 50, 50), true}, // below
        {at(100, 50, 50, 50), false},  {at(100, 51, 50, 50), true},  // above
        {at(110, 110, 10, 10), true},  {at(0, 0, 400, 400), true},   // within, around
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sharesArea(a, c.b), c.shares) << c.b.left << "," << c.b.top;
        EXPECT_EQ(sharesArea(c.b, a), c.shares) << c.b.left << "," << c.b.top;
    }
}

// Every chunk of a picture carries the CRC-32 of its type and data, worked out here bit by bit.
TEST(PngFile, EveryChunksCheckIsItsBytes) {
    auto crc = [](std::string_view bytes) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return c ^ 0xFFFFFFFFu;
    };
    std::vector<std::uint32_t> rgb;
    for (std::uint32_t i = 0; i < 64 * 64; ++i) rgb.push_back(i * 0x010305u ^ (i << 13)); // every byte value
    const std::string png = pngFile(64, 64, rgb);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    auto big32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(png[at + std::size_t(k)]);
        return v;
    };
    std::vector<std::string> types;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = big32(at);
        ASSERT_LE(at + 12 + length, png.size());
        types.push_back(png.substr(at + 4, 4));
        EXPECT_EQ(big32(at + 8 + length), crc(std::string_view(png).substr(at + 4, 4 + length))) << types.back();
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
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
    // Every colour of the picture's file is shown, the last one listed too, and no other.
    std::ifstream xpm(TOVA_SOURCE_DIR "/data/image1.xpm");
    std::set<std::uint32_t> listed;
    for (std::string line; std::getline(xpm, line);)
        if (const auto at = line.find(" c #"); at != std::string::npos)
            listed.insert(static_cast<std::uint32_t>(std::stoul(line.substr(at + 4, 6), nullptr, 16)));
    EXPECT_EQ(listed.size(), 173u);
    EXPECT_EQ(std::set<std::uint32_t>(p.rgb.begin(), p.rgb.end()), listed);
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
        int failures = 0;
        traced.setOnFailure([&](const std::string&) { ++failures; }); // a trace that works: never told
        EXPECT_EQ(failures, 0);
        traced.setSettings(LineSettings{19200});
        EXPECT_EQ(serial.settings(), LineSettings{19200}); // the port's own, not only the trace's
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

#ifndef _WIN32
// A line the file takes only part of is cut back off, however little of it went: in a child
// process held to a file size one byte past the first line.
TEST(Trace, ALineWrittenInPartIsCutBack) {
    const auto path = std::filesystem::temp_directory_path() / ("tova-trace-cut-" + std::to_string(::getpid()));
    std::filesystem::remove(path);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        TraceFile file(path.string());
        if (file.append("first\n")) ::_exit(2);
        const rlimit limit{7, 7};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool refused = file.append("second\n").has_value();
        ::_exit(refused && std::filesystem::file_size(path) == 6 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::ifstream in(path);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "first\n");
    std::filesystem::remove(path);
}
#endif
