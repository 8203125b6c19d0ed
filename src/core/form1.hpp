// SPDX-License-Identifier: MIT
#pragma once
// The window's state and its handlers. The handlers live beside what they do: start-up, END and
// the port choice in core/, traffic in link/, the buttons and the service view in panel/.
#include "core/constants.hpp"
#include "core/controls.hpp"
#include "core/panel.hpp"
#include "core/serial_control.hpp"
#include "core/timer.hpp"
#include "core/warning_box.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace tova {

struct Timers {
    Timer& timer1; // repeat period of held buttons
    Timer& timer2; // reply time-out
    Timer& timer3; // hides the COM frame
    Timer& timer4; // clears the traffic display
};

// What Hyouji does with its text.
enum HyoujiMode : std::uint8_t {
    kHyoujiTransmit = 1, // send it and show it as sent
    kHyoujiReceived = 2, // show it as received and decode it (any value but 1 does this)
};

struct CommandButton;
struct HoldButton;

class Form1 {
  public:
    Form1(SerialControl& serial, Panel& panel, Timers timers);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // State fields, in declaration order.
    std::uint8_t RepeatCode = 0;
    std::uint8_t AwaitingReply = 0;
    std::uint8_t AdjustMode = 0;
    std::string SendLine;
    std::string RxBuffer;
    std::int16_t PressureValue = 0;
    std::int16_t DataShown = 0;
    std::string FreeCommand;
    std::string CommSettings;
    std::string AddressPrefix;

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
    void Form_Load();
    void Command16_Click();

    // Port and speed choice.
    void Option1_Click() { portChoice(1); }
    void Option2_Click() { portChoice(2); }
    void Option9_Click() { speedChoice(kSettings19200); }
    void Option10_Click() { speedChoice(kSettings9600); }
    void Command33_Click();
    void Timer3_Timer();

    // Traffic.
    void Hyouji(const std::string& text, std::uint8_t mode);
    void MSComm1_OnComm();
    void Timer2_Timer();
    void Timer4_Timer();
    void addressChoice(std::string_view prefix); // Option3_Click to Option8_Click

    // Buttons.
    void commandClick(const CommandButton& button);
    void holdPress(const HoldButton& button);
    void holdRelease(const HoldButton& button);
    void Timer1_Timer();

    // Service view and free text.
    void Form_KeyDown(int keyCode, int shift);
    void Image1_DblClick();
    void Command34_Click();
    void Command95_Click();
    void Command96_Click();

    // Tells the operator something that is no port's doing (a trace that stopped), in the one
    // warning box.
    void tell(const std::string& text) { m_warning.warn(text); }

    // Key code of K and the modifier bits of the shift state.
    static constexpr int kKeyK = 75, kShiftMask = 1, kCtrlMask = 2, kAltMask = 4;

  private:
    void portChoice(int port);
    void portFailed(const SerialError& e, int other); // told; the other port once dismissed
    void speedChoice(std::string_view settings);
    void transmit(std::string_view code); // SendLine := AddressPrefix & code & CR; Hyouji mode 1
    void showPortState();                 // the COM button's tooltip

    SerialControl& m_serial;
    Panel& m_panel;
    Timers m_timers;
    WarningBox m_warning;
    std::string m_held; // the held button the pointer holds down
};

} // namespace tova
