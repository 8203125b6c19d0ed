// SPDX-License-Identifier: MIT
#pragma once
// Timer intervals, window heights and line settings that the panel's handlers share.
// Milliseconds, twips and settings texts, each written once.
#include "link/line_limits.hpp"

#include <string_view>

namespace tova {

// Start-up intervals: the repeat period, the reply time-out, the COM frame's time on screen
// and the display clear. The release of a held button restores the time-out and the clear.
inline constexpr int kRepeatPeriodStart = 200, kComFrameMs = 5000, kDisplayClearMs = 1000;
// Picture-mode buttons and SEND: reply time-out and display clear.
inline constexpr int kLongReplyTimeout = 2000, kLongDisplayClear = 2500;
// Source buttons: the projector acknowledges only after switching.
inline constexpr int kSourceReplyTimeout = kInputChangeTimeoutMs, kSourceDisplayClear = 5500;
// Menu timing (MENU ON, A-PC Adj): repeat period, and the arrow pad's time-out and clear.
inline constexpr int kMenuRepeat = 200, kMenuReplyTimeout = 150, kMenuDisplayClear = 190;
// Digital-zoom timing, set by the release of D.Zoom: period, time-out and clear alike.
inline constexpr int kDigitalZoomTiming = 5;

// Window heights in twips (outer height, title bar and frame included).
inline constexpr int kCompactHeight = 5350, kDataHeight = 6645, kServiceHeight = 7200,
                     kFullHeight = 9100;
inline constexpr int kDataThreshold = 6000; // from here up the data area counts as open

// The two settings texts the speed options give.
inline constexpr std::string_view kSettings19200 = "19200,N,8,1", kSettings9600 = "9600,N,8,1";

} // namespace tova
