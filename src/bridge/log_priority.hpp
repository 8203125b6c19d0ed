// SPDX-License-Identifier: MIT
#pragma once
// How much a line of the bridge's log matters, as syslog and the journal rank it
// (sd-daemon(3)'s "<N>" prefixes): journalctl -p warning shows what needs a technician; and
// the line as it is written.
#include <string>

namespace tova::bridge {

enum class Priority : int {
    Error = 3,   // the device failed, the bridge cannot do its work
    Warning = 4, // a projector does not answer, a client is refused or closed, a setting to mend
    Notice = 5,  // what the bridge does: it serves, a projector answers again
    Info = 6,    // clients as they come and go (summarised unless verbose)
    Debug = 7,   // every exchange on the line (verbose)
};

// A line as the log writes it: stamped with the time (stamp, "YYYY-MM-DD HH:MM:SS.mmm") and the
// program's name; or, for the journal, which stamps and names each line itself, with its
// priority alone. Always one line: a line end inside would start a line of no priority.
inline std::string logText(const std::string& text, Priority priority, bool journal, const std::string& stamp) {
    std::string one = text;
    for (char& c : one)
        if (c == '\n' || c == '\r') c = ' ';
    if (journal) return "<" + std::to_string(static_cast<int>(priority)) + ">" + one + "\n";
    return stamp + " tova-bridge: " + one + "\n";
}

} // namespace tova::bridge
