// SPDX-License-Identifier: MIT
#include "tables/hold_rules.hpp"

namespace tova {

HoldPress holdPress(const HoldButton& b, AdjustMode mode) {
    return {b.repeatCode, b.pressCode, pressTiming(b, mode), b.arrowPad};
}

std::string_view repeatDue(std::uint8_t repeatCode, bool previousLineBusy) {
    if (repeatCode == 0 || previousLineBusy) return {};
    return repeatCodeFor(repeatCode);
}

HoldRelease holdRelease(const HoldButton& b) { return {b.releaseCode, releaseTiming(b)}; }

} // namespace tova
