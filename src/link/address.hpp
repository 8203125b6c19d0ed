// SPDX-License-Identifier: MIT
#pragma once
// The projector address ahead of a command code: none (one projector on the line), "AFFF" (every
// projector) or "A001" to "A004" (one of four). Built and read here only.
#include <optional>
#include <string>
#include <string_view>

namespace tova {

inline constexpr int kNoAddress = 0;        // the line reaches whoever is on it
inline constexpr int kEveryProjector = -1;  // "AFFF"
inline constexpr int kProjectors = 4;       // "A001" to "A004"

// The prefix for a target: "" for kNoAddress, "AFFF" for kEveryProjector, "A001".."A004".
std::string prefixFor(int target);

// The projector a three-digit number names, "001" to "004"; nullopt for anything else.
std::optional<int> projectorNumber(std::string_view digits);

struct AddressedCode {
    int target = kNoAddress;
    std::string_view code;
};
// A line (its CR removed or not) taken apart into its target and its code.
AddressedCode splitAddress(std::string_view line);

// The code of a framed line: without its address prefix and its CR.
inline std::string_view codeOfLine(std::string_view line) { return splitAddress(line).code; }

} // namespace tova
