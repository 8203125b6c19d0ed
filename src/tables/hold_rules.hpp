// SPDX-License-Identifier: MIT
#pragma once
// A held button's decisions, the same for the panel and the web remote: what its press sends and
// sets, when a repeat is due and what it sends, what its release leaves. Each side sends its lines
// its own way (the panel to its port, the web remote through the exchange queue).
#include "tables/hold_table.hpp"
#include "tables/panel_timing.hpp"

#include <cstdint>
#include <string_view>

namespace tova {

struct HoldPress {
    std::uint8_t repeatCode; // what the repeat ticks send from now on
    std::string_view code;   // the press's own line
    TimingChange timing;
    // The arrow pad's line goes with its mode's time-out, so its timings are set before the line;
    // any other row sets them after it, restarting their count.
    bool timingFirst;
};
HoldPress holdPress(const HoldButton& b, AdjustMode mode);

// The code a repeat tick sends now: the tick code of the row the repeat code names; nothing when
// it names none, or while the previous line still occupies the line (a repeat never queues
// behind it: the projector would go on moving after the release).
std::string_view repeatDue(std::uint8_t repeatCode, bool previousLineBusy);

struct HoldRelease {
    std::uint8_t repeatCode; // what the release leaves (the arrow pad's SELECT leaves its own)
    TimingChange timing;
};
HoldRelease holdRelease(const HoldButton& b);

} // namespace tova
