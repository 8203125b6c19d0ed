// SPDX-License-Identifier: MIT
#pragma once
// The nine queries: for each its code, its reply time-out, the form of the data its reply
// carries, the panel's words for each reply and what a reply means to the rest of the system
// (power state, errors, input mode, mute, lamps). The panel's decoder, the bridge and the
// virtual projector all read this one table; replies are compared as bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace tova {

enum class QueryId : std::uint8_t {
    Status,        // CR0
    InputMode,     // CR1
    Reversal,      // CR4
    LampHours,     // CR3
    Temperatures,  // CR6
    MuteAndSignal, // CRA
    PcType,        // CR9
    Pressure,      // CR PRESSURE
    LampMode,      // CR7
};

enum class Power : std::uint8_t { Unknown, Standby, WarmingUp, On, CoolingDown, Failed };

// What a reply of a table says, beyond the panel's words. Fields a query does not speak of keep
// their defaults.
struct ReplyMeaning {
    Power power = Power::Unknown;           // status; standby for the mute query's FF too
    bool lampFailed = false;                // status: every lamp has failed
    bool temperatureWarning = false;        // status
    int inputMode = 0;                      // input mode: 1 to 5
    std::optional<bool> videoMute = std::nullopt, audioMute = std::nullopt; // neither told without a signal
    bool noSignal = false;                  // mute and signal
    int lamps = 0;                          // lamp mode: the lamps of the mode, 1 or 2
    std::uint8_t lampsOn = 0;               // lamp mode: bit 0 lamp No1, bit 1 lamp No2
};

struct ReplyRow {
    std::string_view reply; // the reply's leading characters; only these count
    std::string_view text;  // the panel's words, with their leading blank
    ReplyMeaning meaning;
};

// How the panel turns a reply into words.
enum class Decoding : std::uint8_t { Table, LampHours, Temperatures, AsReceived, Pressure };

// The data a reply carries before its CR.
enum class DataForm : std::uint8_t {
    Pair,  // two letters or digits
    Digit, // one digit
    Text,  // printable characters
};

struct Query {
    QueryId id;
    std::string_view code;
    int timeoutMs;
    Decoding decoding;
    DataForm form;
    std::span<const ReplyRow> rows; // a table decoding's rows, compared in order
};

// In the order the panel compares the last line sent with them.
std::span<const Query> queries();
const Query& query(QueryId id);
const Query* findQuery(std::string_view code);

// The row of a table query whose leading characters lead reply; nullptr when none does.
const ReplyRow* findReply(QueryId id, std::string_view reply);
// The first row of a table query with the meaning asked for, for a projector that answers.
template <class Fits>
const ReplyRow* firstReply(QueryId id, Fits fits) {
    for (const auto& row : query(id).rows)
        if (fits(row.meaning)) return &row;
    return nullptr;
}

// True when data (a reply without its CR) has the form the query's data takes.
bool hasForm(DataForm form, std::string_view data);

// Where the temperature reply holds its four readings: characters from..to, counted from 1.
inline constexpr std::pair<std::size_t, std::size_t> kTemperatureFields[4] = {{1, 5}, {8, 11}, {14, 17}, {21, 24}};

// Numbers carried by the replies that are shown as received.
// Lamp hours: the first run of 1 to 5 digits, as written (the projector reports one counter).
std::optional<std::string_view> lampHours(std::string_view reply);
// The model: the reply's printable characters up to its CR, at most 32.
std::string pcType(std::string_view reply);

} // namespace tova
