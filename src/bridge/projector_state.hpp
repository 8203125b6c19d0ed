// SPDX-License-Identifier: MIT
#pragma once
// What the bridge knows of one projector on the line, kept in one place: what the poller and
// the clients' own answers learned (power, errors, input mode, when it last answered), and what
// was set through the bridge that the projector cannot tell (mute without a signal, freeze).
// Notifications, the web remote and the metrics all read it.
#include "bridge/projector.hpp"
#include "core/clock.hpp"
#include "link/query_table.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tova::bridge {

// A power state in words ("warming up"); "unknown" when not known.
std::string_view powerName(std::optional<Power> p);
inline constexpr Power kPowerStates[] = {Power::Unknown, Power::Standby, Power::WarmingUp,
                                         Power::On,      Power::CoolingDown, Power::Failed};

class ProjectorState {
  public:
    // What changed, for a notification: the power as PJLink tells it ("0" or "1"), the six
    // error digits, or the input mode (1 to 5).
    enum class Change { Power, Errors, Input };

    struct Callbacks {
        std::function<void(Change)> changed{}; // for notifications
        // After every answer read, changed or not: the web remote's tiles follow it.
        std::function<void()> answered{};
    };
    ProjectorState(const Clock& clock, Callbacks callbacks) : m_clock(clock), m_tell(std::move(callbacks)) {}
    explicit ProjectorState(const Clock& clock) : ProjectorState(clock, Callbacks{}) {}

    // A status reply (CR0), an input-mode reply (CR1), a mute-and-signal reply (CRA) and a
    // lamp-hours reply (CR3) read now.
    void status(std::string_view reply);
    void inputMode(std::string_view reply);
    void muteAndSignal(std::string_view reply);
    void lampHours(std::string_view reply);

    std::optional<Power> power() const { return m_power; }
    // As PJLink notifications tell the power: "1" on or warming up, "0" standby or cooling down,
    // empty when not known (or failed).
    std::string powerWord() const;
    const std::string& errors() const { return m_errors; } // six digits; empty: not known
    int inputMode() const { return m_inputMode; }           // 1 to 5; 0: not known
    // The status reply's words ("Count down"); empty: not known.
    const std::string& statusText() const { return m_statusText; }
    // What the projector last said of its mute and signal, in its words too; nullopt and empty
    // when not asked since it came on.
    std::optional<ReplyMeaning> muteAndSignal() const {
        return m_mute ? std::optional(m_mute->meaning) : std::nullopt;
    }
    std::string muteText() const;
    std::optional<long> lampHours() const { return m_lampHours; }
    std::optional<std::chrono::milliseconds> lastAnswer() const { return m_lastAnswer; }
    // The longest it went without a status answer, since the first.
    std::chrono::milliseconds longestGap() const { return m_longestGap; }

    MuteState mute;
    // FREEZE as set through the bridge since the projector was last seen to come on (which
    // unfreezes it); not known until then.
    std::optional<bool> freeze;

  private:
    const Clock& m_clock;
    Callbacks m_tell;
    std::optional<Power> m_power;
    std::string m_errors;
    int m_inputMode = 0;
    std::string m_statusText;
    const ReplyRow* m_mute = nullptr;
    std::optional<long> m_lampHours;
    std::optional<std::chrono::milliseconds> m_lastAnswer;
    std::chrono::milliseconds m_longestGap{0};
};

} // namespace tova::bridge
