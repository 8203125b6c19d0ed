// SPDX-License-Identifier: MIT
#pragma once
// Turns the traffic text of a reply to one of the nine queries into the panel's words.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tova {

struct Query;

struct DecodeResult {
    std::optional<std::string> words; // the decoded reply; nullopt: the decoded text shown stays
    std::int16_t pressureValue;
};

constexpr std::string_view kPressureOutOfRange = " Pressure reading out of range";

// sendLine: the last line sent; traffic: Label12's caption (the traffic text of RxBuffer).
DecodeResult decodeReply(std::string_view sendLine, std::string_view addressPrefix,
                         std::string_view traffic, std::int16_t pressureValue);

// The traffic text up to its first token that is not a single printable character ("CR ",
// "ACK ", "LF ", "? ", "&"): the pressure reading ends there.
std::string_view printablePart(std::string_view traffic);

// Reads text as a number the way the pressure reply is read: blanks, tabs and line feeds ignored,
// optional sign, digits, point, fraction, exponent (E or D), or &H / &O; no number reads as 0.
double readNumber(std::string_view text);

// Rounds half to even into 16 bits; nullopt when the value does not fit.
std::optional<std::int16_t> roundTo16(double v);

// The whole pressure computation from a reading; nullopt when out of the 16-bit range.
std::optional<std::int16_t> pressureHpa(double reading);

// The numbers a query's reply carries, as values of their own: its lamp hours, its four
// temperatures (degrees Celsius), its pressure in hPa; each nullopt when the reply holds no
// number there (or is no reply to that query).
struct ReplyNumbers {
    std::optional<long> lampHours;
    std::optional<std::array<std::optional<double>, 4>> temperatures; // for a temperature reply
    std::optional<int> pressureHpa;
};
ReplyNumbers replyNumbers(const Query& q, std::string_view reply);

// A query's reply as one value, as a script compares it: the lamp hours as a number ("1234"),
// the model as the projector names it ("TM4-SIM"), else the panel's words without their blanks
// at either end (words: what decodeReply made of the reply).
std::string replyValue(const Query& q, std::string_view reply, std::string_view words);
// What each query's value can be, from the tables, for the tools' help: a table query's words
// each quoted ("\"Power ON\""), any other's described.
struct QueryValues {
    std::string_view code;
    std::vector<std::string> values;
};
std::vector<QueryValues> queryValues();

} // namespace tova
