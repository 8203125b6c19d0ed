// SPDX-License-Identifier: MIT
#include "link/reply_rule.hpp"
#include "link/traffic.hpp"

#include <gtest/gtest.h>

using namespace tova;

TEST(Traffic, FramesPrefixCodeAndCarriageReturn) {
    struct Case {
        const char* prefix;
        const char* code;
        std::string bytes;
    } cases[] = {
        {"", "C00", "C00\r"},
        {"AFFF", "C00", "AFFFC00\r"},
        {"A001", "CR0", "A001CR0\r"},
        {"A002", "CF INPUT2 S-VIDEO", "A002CF INPUT2 S-VIDEO\r"},
        {"", "", "\r"},
    };
    for (const auto& c : cases) EXPECT_EQ(frameLine(c.prefix, c.code), c.bytes) << c.code;
}

TEST(Traffic, TextOfLinesAndReplies) {
    struct Case {
        std::string text;
        std::string shown;
    } cases[] = {
        {"C00\r", " C 0 0 CR "},
        {"AFFFC00\r", " A F F F C 0 0 CR "},
        {"A001CR0\r", " A 0 0 1 C R 0 CR "},
        {"CF INPUT1 VIDEO\r", " C F   I N P U T 1   V I D E O CR "},
        {"\x06", " ACK "},
        {"\x14", " &"},
        {"{", " ? "},
        {"\t", " ? "},
        {"0\r\n", " 0 CR LF "},
        {"z{", " z ? "},
        {"abc", " a b c "},
        {"", " "},
        {"00\r", " 0 0 CR "},
        {std::string("\0A", 2), " ? A "},
    };
    for (const auto& c : cases) EXPECT_EQ(trafficText(c.text), c.shown) << c.shown;
}

// The token table at each of its boundaries.
TEST(Traffic, TokensAtTheBoundaries) {
    struct Case {
        int code;
        std::string token;
    } cases[] = {
        {0, "? "},   {5, "? "},   {6, "ACK "}, {7, "? "},   {9, "? "},  {10, "LF "}, {11, "? "},
        {12, "? "},  {13, "CR "}, {14, "? "},  {19, "? "},  {20, "&"},  {21, "? "},  {31, "? "},
        {32, "  "},  {33, "! "},  {48, "0 "},  {65, "A "},  {122, "z "}, {123, "? "}, {126, "? "},
        {127, "? "}, {128, "? "}, {200, "? "}, {255, "? "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trafficText(std::string(1, static_cast<char>(c.code))), " " + c.token) << c.code;
}

TEST(Traffic, TypedTextOneBytePerCharacter) {
    struct Case {
        std::string utf8;
        std::string bytes;
    } cases[] = {
        {"CR0", "CR0"},
        {"", ""},
        {"C\x01\x7f", "C\x01\x7f"},            // control characters as typed
        {"C\xc3\xa9", "C?"},                   // two bytes, one character
        {"\xe3\x83\x87\xe3\x80\x80", "??"},     // Japanese and an ideographic blank
        {"\xf0\x9f\x98\x80!", "?!"},           // four bytes, one character
        {"\xc3", "?"},                          // cut short at the end
        {"\x80" "A", "?A"},                        // a stray continuation byte
        {"\xe3\x83" "A", "?A"},                    // cut short before an ASCII character
        // Each lead byte at the edge of its length: 0xC0 and 0xDF two, 0xE0 and 0xEF three, 0xF0 four.
        {"\xc0\x80\xdf\xbf", "??"},
        {"\xbf\x80", "??"}, // below every lead: each a stray
        {"\xe0\x80\x80\xef\xbf\xbf", "??"},
        {"\xf0\x80\x80\x80", "?"},
    };
    for (const auto& c : cases) EXPECT_EQ(typedBytes(c.utf8), c.bytes) << c.utf8;
}

TEST(Traffic, ReplyRule) {
    struct Case {
        std::string received;
        ReplyKind kind;
        std::size_t length;
    } cases[] = {
        {"", ReplyKind::Incomplete, 0},
        {"00", ReplyKind::Incomplete, 0},
        {"\x06", ReplyKind::Acknowledged, 1},
        {"\x06" "00\r", ReplyKind::Acknowledged, 1}, // a leading ACK ends it at once
        {"\x15", ReplyKind::Refused, 1},
        {"ERR\r", ReplyKind::Refused, 4},
        {"ERR", ReplyKind::Incomplete, 0},
        {"ERR2\r80\r", ReplyKind::Refused, 5},
        {"00\r", ReplyKind::Answered, 3},
        {"00\r80\r", ReplyKind::Answered, 3},
        {"\r", ReplyKind::Answered, 1},
        {"ER\r", ReplyKind::Answered, 3},
        {"0\x06\r", ReplyKind::Answered, 3}, // only a leading ACK counts
    };
    for (const auto& c : cases) {
        const Reply r = readReply(c.received);
        EXPECT_EQ(r.kind, c.kind) << trafficText(c.received);
        EXPECT_EQ(r.length, c.length) << trafficText(c.received);
    }
}
