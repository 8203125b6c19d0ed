// SPDX-License-Identifier: MIT
#pragma once
// Timings and bounds of the line that every client of it shares: the panel, tova-send, the
// bridge and the virtual projector.
#include <cstddef>

namespace tova {

// A line's reply time-out, and that of an input change, which a projector acknowledges only
// after it has switched.
inline constexpr int kReplyTimeoutMs = 500;
inline constexpr int kInputChangeTimeoutMs = 5000;

// After a time-out the line must be quiet this long before the next line goes out, so that a
// late reply is not read as the next line's.
inline constexpr int kQuietGuardMs = 100;

// Received text beyond this is dropped: every reply and every decoding reads only its start.
inline constexpr std::size_t kReceiveCap = 4096;

} // namespace tova
