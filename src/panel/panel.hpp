// SPDX-License-Identifier: MIT
#pragma once
// The panel: its state and every handler, in this folder, one file by concern: start-up, END
// and the port choice (start_up.cpp, port_choice.cpp), traffic (traffic_display.cpp), the buttons
// (buttons.cpp), events by control name (dispatch.cpp) and the service view (service.cpp).
#include "core/window.hpp"
#include "core/serial_control.hpp"
#include "core/serial_ports.hpp"
#include "core/timer.hpp"
#include "tables/command_table.hpp"
#include "tables/controls.hpp"
#include "tables/hold_rules.hpp"
#include "tables/panel_timing.hpp"
#include "tables/timings.hpp"
#include "panel/warning_box.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tova {

struct Timers {
    Timer& repeat;       // the period of a held button
    Timer& replyTimeout; // no reply to the line sent: the mark
    Timer& comFrame;     // hides the COM frame
    Timer& displayClear; // clears the traffic display
};

// The ports a COM button may lead to, and keeping a choice for the next start.
struct PortChoices {
    std::function<std::vector<SerialPortInfo>()> list{};
    // false when it could not be kept.
    std::function<bool(int port, const std::string& device)> keep{};
};

class Panel {
  public:
    Panel(SerialControl& serial, Window& panel, Timers timers);
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // The state, in the order the panel has always declared it.
    std::uint8_t repeatCode = 0; // the held-button row a repeat tick sends; 0: none
    bool awaitingReply = false;  // from a transmission to the first piece received or the time-out
    AdjustMode adjustMode = AdjustMode::None;
    std::string sendLine;        // the last line handed over for transmission
    std::string rxBuffer;        // received since last cleared, at most kReceiveCap bytes
    std::int16_t pressureValue = 0;
    bool dataShown = false;      // the service keys have opened the data area
    std::string freeCommand;     // the free text last taken from the command box
    std::string commSettings;
    std::string addressPrefix;

    // Events by control name, as the window delivers them.
    void click(std::string_view control); // buttons and options (mouse or keyboard)
    // A held button goes down under any mouse button; false when it is no held button or another
    // is held already (one pointer holds one button).
    bool mouseDown(std::string_view control);
    void mouseUp(std::string_view control);
    // Releases the held button, if any, as its own release would; returns its name.
    std::string releaseHeld();
    static bool isHeld(std::string_view control);

    // Start-up and END.
    void startUp();
    void end();

    // Port and speed.
    void choosePort(int port);
    void chooseSpeed(std::string_view settings);
    void showComFrame();
    void hideComFrame();
    // The ports a COM button may lead to; before startUp, for its first open.
    void setPortChoices(PortChoices choices) { m_ports = std::move(choices); }
    // COM's context menu: where COM1 and COM2 lead, the ports this computer has, and Other...
    void contextMenu(std::string_view control);
    // Port n leads to device from now on, kept for the next start, and is chosen as a click would.
    void leadPort(int port, const std::string& device);

    // Traffic.
    // A whole line to the wire: sent, then shown as sent and its reply awaited; when the port
    // does not take it, the operator is told, and nothing is shown or awaited.
    void send(const std::string& line);
    void showSent(const std::string& line);
    // The text received so far, shown and decoded.
    void showReceived(const std::string& text);
    void onReceived(const std::string& bytes);
    void onDeviceLost(const SerialFailure& failure);
    void onReplyTimeout();
    void clearTraffic();
    void chooseAddress(int target);

    // Buttons.
    void pressCommand(const CommandButton& button);
    void startHold(const HoldButton& button);
    void endHold(const HoldButton& button);
    void onRepeatTick();

    // Service view and free text.
    void onKeyDown(int keyCode, int shift);
    void onPictureDoubleClick();
    void toggleData();
    void sendFreeText();
    void clearFreeText();

    // Tells the operator something that is no port's doing (a trace that stopped), in the one
    // warning box.
    void tell(const std::string& text) { m_warning.warn(text); }

    // Key code of K and the modifier bits of the shift state.
    static constexpr int kKeyK = 75, kShiftMask = 1, kCtrlMask = 2, kAltMask = 4;

  private:
    void portFailed(const SerialError& e, int other); // told; the other port once dismissed
    std::optional<SerialPortInfo> portToOffer() const; // the first listed port neither COM leads to
    MenuEntry leadsToMenu(int port, const std::vector<SerialPortInfo>& ports);
    void askDevice(int port);
    void transmit(std::string_view code); // sendLine := prefix & code & CR, sent
    void showPortState();                 // the COM button's tooltip
    void applyTiming(const TimingChange& c); // each interval it changes, and the adjust mode

    SerialControl& m_serial;
    Window& m_window;
    Timers m_timers;
    WarningBox m_warning;
    PortChoices m_ports;
    std::string m_held; // the held button the pointer holds down
};

} // namespace tova
