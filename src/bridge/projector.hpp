// SPDX-License-Identifier: MIT
#pragma once
// A projector on the line as the bridge serves it: its address, its name, the PJLink inputs of
// its five input modes and their names, what it says of itself; and what the web remote and the
// metrics show of it. Every listener, page and scrape of one projector reads the same.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tova {
struct ReplyMeaning;
}

namespace tova::bridge {

class Answering;
class ProjectorState;

// A projector's name, as NAME ? answers it: 1 to 64 bytes of printable UTF-8. A line end or a
// control character in it would end its answer early and forge the next one.
inline constexpr std::size_t kMaxNameLength = 64;
inline constexpr std::string_view kNameRule = "name= takes 1 to 64 bytes of printable UTF-8 (no control characters)";
bool validName(std::string_view name);

// PJLink codes of input modes 1 to 5.
using Inputs = std::array<std::string, 5>;
inline const Inputs kDefaultInputs{"11", "12", "13", "14", "15"};
// Names of input modes 1 to 5, each 1 to kMaxInputName bytes of printable UTF-8.
using InputNames = std::array<std::string, 5>;
inline constexpr std::size_t kMaxInputName = 128;

// The mute state set through the bridge, for a projector that cannot tell it (no signal).
struct MuteState {
    std::optional<bool> video, audio;
};

// What each digit of an ERST answer is about, in order (0 fine, 1 warning, 2 error).
inline constexpr std::array<std::string_view, 6> kErrorNames{"fan", "lamp", "temperature", "cover", "filter", "other"};

// The six error digits of a status reply's meaning, in kErrorNames' order.
std::string errorDigits(const ReplyMeaning& status);

// One projector on the line, as its PJLink listener serves it.
struct ProjectorConfig {
    std::string prefix;               // the address put ahead of every code ("" or "A001".."A004")
    std::string name = "TOVA M4";     // NAME ?
    Inputs inputs = kDefaultInputs;   // INST ?, and what INPT means
    InputNames inputNames = defaultInputNames(); // INNM ?
    std::string info;                 // INFO ?: the program's name and version
    std::string serial, version;      // SNUM ?, SVER ?: empty when not given
    std::string lampModel, filterModel; // RLMP ?, RFIL ?
    std::optional<std::string> password;

    // The panel's words for input modes 1 to 5.
    static InputNames defaultInputNames();
};

// A projector as the web remote and the metrics show it: one tab and one set of samples each.
struct ServedProjector {
    std::string name;   // its tab: its PJLink listener's name
    std::string prefix; // its address on the line
    ProjectorState* state = nullptr;
    InputNames inputNames;
    const Answering* answering = nullptr; // whether it answers; none: not watched
    bool polled = true;                   // asked by the poller; else known from the clients' lines alone
};

// An input code as Class 1 knows it (type 1-5, number 1-9), and as Class 2 does (type 1-6,
// number 1-9 or A-Z).
bool classOneInput(std::string_view code);
bool classTwoInput(std::string_view code);

// "11 31 21 22 32" or "11,31,21,22,32": five PJLink input codes, Class 2's forms allowed (a
// Class 1 client is never told of those).
std::optional<Inputs> parseInputs(std::string_view text);

// "PC,Lectern,Video,Camera,Spare": the names of input modes 1 to 5.
std::optional<InputNames> parseInputNames(std::string_view text);

} // namespace tova::bridge
