// SPDX-License-Identifier: MIT
#pragma once
// How the buttons change the panel's timings: the repeat period, the reply time-out and the
// display clear, and the adjust mode the arrow pad reads them from. The panel applies each
// change to its timers; the bridge's web remote keeps the same state per projector, as one
// panel would.
#include "tables/command_table.hpp"
#include "tables/hold_table.hpp"
#include "tables/timings.hpp"

#include <cstdint>
#include <optional>

namespace tova {

// Which timing the arrow pad uses; the values are those the panel has always had.
enum class AdjustMode : std::uint8_t { None = 0, Menu = 1, DigitalZoom = 3 };

// What a button changes; a field left empty keeps its value (and its timer's count).
struct TimingChange {
    std::optional<int> repeatPeriod, replyTimeout, displayClear;
    std::optional<AdjustMode> adjustMode;
};

// A one-shot button: before its line goes out, and after.
TimingChange beforeCommand(const CommandButton& b);
TimingChange afterCommand(const CommandButton& b);
// A held button's press (the arrow pad reads the mode) and its release.
TimingChange pressTiming(const HoldButton& b, AdjustMode mode);
TimingChange releaseTiming(const HoldButton& b);

// The timings as they stand, for a holder of the state without timers of its own.
struct PanelTiming {
    int repeatPeriod = kRepeatPeriodStart, replyTimeout = kReplyTimeoutMs, displayClear = kDisplayClearMs;
    AdjustMode adjustMode = AdjustMode::None;
    void apply(const TimingChange& c);
};

} // namespace tova
