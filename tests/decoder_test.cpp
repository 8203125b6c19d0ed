// SPDX-License-Identifier: MIT
#include "link/decoder.hpp"
#include "link/query_table.hpp"
#include "link/traffic.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace tova;

namespace {

// What Label22 shows after the reply to the query (nullopt: unchanged).
std::optional<std::string> shown(const std::string& query, const std::string& reply,
                                 const std::string& prefix = "") {
    return decodeReply(frameLine(prefix, query), prefix, trafficText(reply), 0).words;
}

struct Row {
    const char* query;
    std::string reply;
    std::optional<std::string> words;
};

} // namespace

// The panel reads a table's key from the traffic text; the bridge and the virtual projector
// read the same table by the reply's bytes. Both read alike: every pair of bytes after each
// table query, its first byte alone (a reply in pieces), and behind a leftover previous reply.
TEST(Decoder, TrafficTextAndBytesReadTheTablesAlike) {
    int decoded = 0;
    for (const Query& q : queries()) {
        if (q.decoding != Decoding::Table) continue;
        std::string previous = "80\r";
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b) {
                const std::string pair{static_cast<char>(a), static_cast<char>(b)};
                for (const std::string& received : {pair + "\r", pair.substr(0, 1), previous + pair}) {
                    const ReplyRow* row = findReply(q.id, received);
                    const auto shown = decodeReply(frameLine("", q.code), "", trafficText(received), 0).words;
                    ASSERT_EQ(shown, row ? std::optional<std::string>(row->text) : std::nullopt)
                        << q.code << " " << a << " " << b;
                    decoded += shown.has_value();
                }
                previous = pair + "\r";
            }
    }
    // Every row is met, each in its three forms (the one-character input mode whatever follows).
    EXPECT_GT(decoded, 3 * (13 + 4 + 6 + 8));
}

TEST(Decoder, RepliesThatMatchNothingChangeNothing) {
    const Row rows[] = {
        {"CR0", "01\r", std::nullopt},  // not one of the thirteen pairs
        {"CR0", "A0\r", std::nullopt},
        {"CR1", "6\r", std::nullopt},
        {"CRA", "ff\r", std::nullopt},  // case matters
        {"CR0", "0", std::nullopt},     // shorter than the key, for now
        {"CR0", "", std::nullopt},
        {"C00", "00\r", std::nullopt},  // a command, not a query
        {"cr0", "00\r", std::nullopt},  // typed in lower case
        {"CR0 ", "00\r", std::nullopt},
        {"CR1", "12\r", " Input mode 1"}, // only the first character counts
        {"CR0", "00abc", " Power ON"},
        {"CR0", "80\r", " Stand by"},
        {"CRA", "80\r", " No signal"},
    };
    for (const auto& r : rows) EXPECT_EQ(shown(r.query, r.reply), r.words) << r.query << " " << r.reply;
}

TEST(Decoder, AddressMustStillMatch) {
    EXPECT_EQ(decodeReply("A001CR0\r", "A001", trafficText("00\r"), 0).words, " Power ON");
    EXPECT_EQ(decodeReply("A001CR0\r", "", trafficText("00\r"), 0).words, std::nullopt);
    EXPECT_EQ(decodeReply("CR0\r", "AFFF", trafficText("00\r"), 0).words, std::nullopt);
}

TEST(Decoder, LampHoursTemperaturesAndPcType) {
    const Row rows[] = {
        {"CR3", "12345\r", " 1 2 3 4 5 CR  Hour Use"},
        {"CR3", "ABCDEFGHIJKLMNOPQRSTUVWXY", " A B C D E F G H I J K L M N O P Q R S Hour Use"},
        {"CR3", "\x06", " ACK  Hour Use"},
        {"CR6", "0123456789ABCDEFGHIJKLMNOP",
         "  S1= 0 1 2 3 4 C  ,   S2=  7 8 9 A C  ,   S3= D E F G  C  ,   S4=  K L M N C "},
        {"CR6", "025.0  30.5  28.0   27.5\r",
         "  S1= 0 2 5 . 0 C  ,   S2=  3 0 . 5 C  ,   S3= 2 8 . 0  C  ,   S4=  2 7 . 5 C "},
        {"CR6", "12", "  S1= 1 2  C  ,   S2=  C  ,   S3=  C  ,   S4=  C "},
        {"CR6", "1234567", "  S1= 1 2 3 4 5 C  ,   S2=   C  ,   S3=  C  ,   S4=  C "}, // S2: the last character
        {"CR9", "TM4\r", " T M 4 CR "},
        {"CR9", "", " "},
    };
    for (const auto& r : rows) EXPECT_EQ(shown(r.query, r.reply), r.words) << r.query << " " << r.reply;
}

TEST(Decoder, Pressure) {
    struct Case {
        std::string reply;
        std::string words;
        std::int16_t pressureValue;
    } cases[] = {
        {"853\r", "1013 hPa", 1013},
        {"1023\r", "1194 hPa", 1194},
        {"200\r", "318 hPa", 318},
        {"0\r", "106 hPa", 106},
        {"\x06", "106 hPa", 106},
        {"8", "114 hPa", 114},
        {"85", "196 hPa", 196},
        {"2.5\r", "108 hPa", 108},
        {"3.5\r", "110 hPa", 110},
        {"-12\r", "93 hPa", 93},
        {"1.5E2\r", "265 hPa", 265},
        {"1.5D2\r", "265 hPa", 265},
        {"&O17\r", "122 hPa", 122},
        {"&H1F\r", "139 hPa", 139}, // the reading ends at "CR ": its C is no digit
        {"&H1C\r", "135 hPa", 135},
        {"&H355\r", "1013 hPa", 1013},
        {"&H1\x06", "107 hPa", 107},  // nor the A and C of "ACK "
        {"&H\r", "106 hPa", 106},
        {"&H1\n", "107 hPa", 107},
        {"&H1\x14" "C", "107 hPa", 107}, // the DC4's "&" ends it too
        {"&HC\r", "118 hPa", 118}, // a received C is a digit
        {"8\t5\n3\r", "114 hPa", 114}, // shown as "? " and "LF ": the reading stops at 8
        {"-6553\r", "-6865 hPa", -6865},
        {"6553\r", "7077 hPa", 7077},
    };
    for (const auto& c : cases) {
        auto r = decodeReply("CR PRESSURE\r", "", trafficText(c.reply), 7);
        EXPECT_EQ(r.words, c.words) << c.reply;
        EXPECT_EQ(r.pressureValue, c.pressureValue) << c.reply;
    }
}

TEST(Decoder, PressureOutOfRangeIsSaidAndKeepsTheValue) {
    for (std::string reply : {"6554\r", "-6554\r", "32767\r", "32768\r", "1E10\r", "1E400\r",
                              "&HFFFFFFFFF\r", "99999999999999999999\r"}) {
        auto r = decodeReply("CR PRESSURE\r", "", trafficText(reply), 42);
        EXPECT_EQ(r.words, std::string(kPressureOutOfRange)) << reply;
        EXPECT_EQ(r.pressureValue, 42) << reply;
    }
}

TEST(Decoder, ReadsNumbersAsThePressureReplyIsRead) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"", 0},           {"abc", 0},         {" 1 2 ", 12},     {"+7", 7},
        {"-0.5", -0.5},    {".25", 0.25},      {"1e2", 100},      {"1E", 1},
        {"1E+", 1},        {"2E-1", 0.2},      {"&HFFFF", -1},    {"&H10000", 65536},
        {"&o777", 511},    {"&H", 0},          {"&X12", 0},       {"12.5.6", 12.5},
        {"- 3", -3},       {"1 0 CR ", 10},    {"&HFFFFFFFF", -1}, {"8\t5\n3", 853},
        {"&o78", 7}, // 8 is no octal digit
        {"1H5", 1},        {"2o7", 2},         {"&", 0}, // a radix only after "&"
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(readNumber(c.text), c.value) << c.text;
    EXPECT_EQ(readNumber("1E400"), HUGE_VAL); // out of range keeps its sign
    EXPECT_EQ(readNumber("-1E400"), -HUGE_VAL);
    // The reading's text: the traffic text up to the first token of no printable character.
    const std::pair<std::string, std::string> parts[] = {
        {" 8 5 3 CR ", " 8 5 3 "}, {" & H 1 F CR ", " & H 1 F "}, {" & H 1 ACK ", " & H 1 "},
        {" C R ", " C R "},         {" 1 ? 2 ", " 1 "},           {" 1 &A ", " 1 "},
        {" & H ", " & H "},         {" ", " "},                   {"", ""},
        {" 1 LF ", " 1 "},
    };
    for (const auto& [traffic, part] : parts) EXPECT_EQ(printablePart(traffic), part) << traffic;
}

TEST(Decoder, RoundsHalfToEvenInto16Bits) {
    struct Case {
        double v;
        std::optional<std::int16_t> r;
    } cases[] = {{0.5, 0},          {1.5, 2},          {2.5, 2},       {-2.5, -2},
                 {32767.4, 32767}, {32767.5, std::nullopt}, {-32768.5, -32768},
                 {-32768.6, std::nullopt}, {1e300, std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(roundTo16(c.v), c.r) << c.v;
}

// What tova-send --list says each query can answer: a table query's words once each, quoted as
// --until takes them; the others what they carry.
TEST(Decoder, EveryQueryListsTheValuesItCanAnswer) {
    auto quoted = [](std::string_view text) {
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
        return "\"" + std::string(text) + "\"";
    };
    const auto all = queryValues();
    EXPECT_EQ(all.size(), queries().size());
    for (const QueryValues& v : all) {
        const Query& q = *findQuery(v.code);
        ASSERT_FALSE(v.values.empty()) << v.code;
        for (std::size_t i = 0; i < v.values.size(); ++i)
            EXPECT_EQ(std::count(v.values.begin(), v.values.end(), v.values[i]), 1) << v.code << " " << v.values[i];
        if (q.decoding != Decoding::Table) continue;
        for (const ReplyRow& row : q.rows)
            EXPECT_NE(std::find(v.values.begin(), v.values.end(), quoted(row.text)), v.values.end()) << v.code << row.text;
    }
}

// The numbers a script reads from a reply: all four temperatures where the reply has them.
TEST(Decoder, EveryTemperatureOfAFullReplyIsANumber) {
    const ReplyNumbers n = replyNumbers(*findQuery("CR6"), "025.0  30.5  28.0   27.5\r");
    ASSERT_TRUE(n.temperatures);
    const std::array<std::optional<double>, 4> expected{25.0, 30.5, 28.0, 27.5};
    EXPECT_EQ(*n.temperatures, expected);
    EXPECT_EQ(replyNumbers(*findQuery("CR3"), "01234\r").lampHours, 1234);
}
