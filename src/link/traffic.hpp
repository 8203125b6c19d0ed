// SPDX-License-Identifier: MIT
#pragma once
// The command line as it goes out, and the character-by-character display form of traffic.
#include <optional>
#include <string>
#include <string_view>

namespace tova {

constexpr char kAck = 6;   // acknowledgement
constexpr char kNak = 21;  // negative acknowledgement
constexpr char kDc4 = 20;  // shown as "&" with no blank
constexpr char kCR = '\r';
constexpr char kLF = '\n';

// What the received display shows when a line got no reply in time.
inline constexpr std::string_view kNoReplyMark = " X X X X";

// AddressPrefix & code & CR, joined with nothing in between.
std::string frameLine(std::string_view addressPrefix, std::string_view code);

// Text typed as UTF-8, one byte per character: a character beyond ASCII (or a byte that is no
// valid UTF-8) becomes one "?", never several bytes a projector would read as several characters.
std::string typedBytes(std::string_view utf8);
// A control character in typed text, which would end a line early or frame a second one:
// "CR at 4" (counted from 1; LF, TAB, DEL, or \xHH), or nullopt when there is none. With
// endsLine, one CR, LF or CRLF at the very end is the line's own end, not a character of it.
std::optional<std::string> controlCharacter(std::string_view typed, bool endsLine = true);
// Typed text quoted for a message, its control characters shown as \r, \n, \t or \xHH.
std::string quotedTyped(std::string_view typed);

// Display form of one character: "ACK ", "&", "CR ", "LF ", "? " or the character and a blank.
std::string_view trafficToken(unsigned char c, char (&scratch)[3]);
// One blank, then the token of every character of text.
std::string trafficText(std::string_view text);

} // namespace tova
