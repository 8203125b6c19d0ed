#pragma once
// The command line as it goes out, and the character-by-character display form of traffic.
#include <string>
#include <string_view>

namespace tova {

constexpr char kCR = '\r';

// AddressPrefix & code & CR, joined with nothing in between.
std::string frameLine(std::string_view addressPrefix, std::string_view code);

// Display form of one character: "ACK ", "&", "CR ", "LF ", "? " or the character and a blank.
std::string_view trafficToken(unsigned char c, char (&scratch)[3]);
// One blank, then the token of every character of text.
std::string trafficText(std::string_view text);

} // namespace tova
