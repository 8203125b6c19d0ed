#pragma once
// The window's state and its handlers. The handlers live beside what they do: start-up, END and
// the port choice in core/, traffic in link/, the buttons and the service view in panel/.
#include "core/panel.hpp"
#include "core/serial_control.hpp"
#include "core/timer.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tova {

struct Timers {
    Timer& timer1; // repeat period of held buttons
    Timer& timer2; // reply time-out
    Timer& timer3; // hides the COM frame
    Timer& timer4; // clears the traffic display
};

// Start-up values of the timers.
inline constexpr int kTimer1Start = 200, kTimer2Start = 500, kTimer3Start = 5000, kTimer4Start = 1000;
// Window heights in twips.
inline constexpr int kCompactHeight = 5350, kDataHeight = 6645, kServiceHeight = 7200,
                     kFullHeight = 9100, kDataThreshold = 6000;
inline constexpr std::string_view kSettings19200 = "19200,N,8,1", kSettings9600 = "9600,N,8,1";
// Received text beyond this is dropped: the display and every decoding read only its start.
inline constexpr std::size_t kRxBufferLimit = 4096;

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
    void click(std::string_view control);     // buttons and options (mouse or keyboard)
    void mouseDown(std::string_view control); // held buttons, any mouse button
    void mouseUp(std::string_view control);
    bool isHeld(std::string_view control) const;

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
    void commandClick(std::string_view control);
    void holdPress(std::string_view control);
    void holdRelease(std::string_view control);
    void Timer1_Timer();

    // Service view and free text.
    void Form_KeyDown(int keyCode, int shift);
    void Image1_DblClick();
    void Command34_Click();
    void Command95_Click();
    void Command96_Click();

    // Key code of K and the modifier bits of the shift state.
    static constexpr int kKeyK = 75, kShiftMask = 1, kCtrlMask = 2, kAltMask = 4;

  private:
    void portChoice(int port);
    void speedChoice(std::string_view settings);
    void transmit(std::string code);  // SendLine := AddressPrefix & code & CR; Hyouji mode 1
    void showPortState();             // the COM button's tooltip

    SerialControl& m_serial;
    Panel& m_panel;
    Timers m_timers;
};

} // namespace tova
