// SPDX-License-Identifier: MIT
#pragma once
// Timer intervals, window heights and line settings that several handlers share. Milliseconds,
// twips and settings texts, each written once.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tova {

// Start-up intervals of the four timers; the release of a held button restores Timer2 and Timer4.
inline constexpr int kTimer1Start = 200, kTimer2Start = 500, kTimer3Start = 5000, kTimer4Start = 1000;
// Picture-mode buttons and SEND: reply time-out and display clear.
inline constexpr int kLongReplyTimeout = 2000, kLongDisplayClear = 2500;
// Source buttons: the projector acknowledges only after switching.
inline constexpr int kSourceReplyTimeout = 5000, kSourceDisplayClear = 5500;
// Menu timing (MENU ON, A-PC Adj): repeat period, and the arrow pad's time-out and clear.
inline constexpr int kMenuRepeat = 200, kMenuReplyTimeout = 150, kMenuDisplayClear = 190;
// Digital-zoom timing, set by the release of D.Zoom: period, time-out and clear alike.
inline constexpr int kDigitalZoomTiming = 5;

// AdjustMode values: which timing the arrow pad uses.
inline constexpr std::uint8_t kAdjustMenu = 1, kAdjustDigitalZoom = 3;

// Window heights in twips (outer height, title bar and frame included).
inline constexpr int kCompactHeight = 5350, kDataHeight = 6645, kServiceHeight = 7200,
                     kFullHeight = 9100;
inline constexpr int kDataThreshold = 6000; // from here up the data area counts as open

// The two settings texts the speed options give.
inline constexpr std::string_view kSettings19200 = "19200,N,8,1", kSettings9600 = "9600,N,8,1";

// Received text beyond this is dropped: the display and every decoding read only its start.
inline constexpr std::size_t kRxBufferLimit = 4096;

} // namespace tova
