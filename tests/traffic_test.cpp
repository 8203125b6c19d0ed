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

// Every one of the 256 codes against the token table.
TEST(Traffic, TokenOfEveryCode) {
    for (int code = 0; code < 256; ++code) {
        std::string expected;
        if (code == 6) expected = "ACK ";
        else if (code == 20) expected = "&";
        else if (code == 13) expected = "CR ";
        else if (code == 10) expected = "LF ";
        else if (code < 32) expected = "? ";
        else if (code <= 122) expected = std::string(1, char(code)) + " ";
        else expected = "? ";
        EXPECT_EQ(trafficText(std::string(1, char(code))), " " + expected) << "code " << code;
    }
}
