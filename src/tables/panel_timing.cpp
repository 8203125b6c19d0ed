// SPDX-License-Identifier: MIT
#include "tables/panel_timing.hpp"

namespace tova {

TimingChange beforeCommand(const CommandButton& b) {
    if (b.extra == CommandExtra::PictureMode) return {{}, kLongReplyTimeout, kLongDisplayClear, {}};
    if (b.extra == CommandExtra::Source) return {{}, kSourceReplyTimeout, kSourceDisplayClear, {}};
    return {};
}

TimingChange afterCommand(const CommandButton& b) {
    if (b.extra == CommandExtra::MenuTiming) return {kMenuRepeat, {}, {}, AdjustMode::Menu};
    return {};
}

TimingChange pressTiming(const HoldButton& b, AdjustMode mode) {
    if (!b.arrowPad) return {b.period, b.replyTimeout, b.displayClear, {}};
    if (mode == AdjustMode::Menu) return {{}, kMenuReplyTimeout, kMenuDisplayClear, {}};
    if (mode == AdjustMode::DigitalZoom) return {{}, kDigitalZoomTiming, kDigitalZoomTiming, {}};
    return {}; // the arrow pad keeps whatever the timers run at
}

TimingChange releaseTiming(const HoldButton& b) {
    TimingChange c{{}, kReplyTimeoutMs, kDisplayClearMs, {}};
    if (b.digitalZoom) {
        c.repeatPeriod = kDigitalZoomTiming;
        c.adjustMode = AdjustMode::DigitalZoom;
    }
    return c;
}

void PanelTiming::apply(const TimingChange& c) {
    repeatPeriod = c.repeatPeriod.value_or(repeatPeriod);
    replyTimeout = c.replyTimeout.value_or(replyTimeout);
    displayClear = c.displayClear.value_or(displayClear);
    adjustMode = c.adjustMode.value_or(adjustMode);
}

} // namespace tova
