// SPDX-License-Identifier: MIT
#pragma once
// For the start-up benchmark: with TOVA_STARTUP_PROBE set, a window tells on standard error
// when it was first mapped (exposed) and when its first paint was complete, as the monotonic
// clock's nanoseconds, and its resident memory then; the program ends there if the variable says "exit". Unset, nothing
// is watched. The panel and the benchmark's bare window are timed by this one code.
class QWidget;

namespace tova {

void probeStartUp(QWidget* window);

} // namespace tova
