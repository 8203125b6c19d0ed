#pragma once
// The window's serial-communications control, as the handlers see it.
#include "core/settings.hpp"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tova {

// A failed serial operation; what() is the serial layer's own description.
class SerialError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Event kinds reported by commEvent().
enum CommEventKind : int {
    comEvReceive = 2,     // received characters are waiting
    comEventLost = 1099,  // the device failed (unplugged, hung up); the port is closed now
};

class SerialControl {
  public:
    virtual ~SerialControl() = default;

    // Port number 1 or 2; names the port the next open uses. Throws on an open port.
    virtual void setCommPort(int port) = 0;
    virtual int commPort() const = 0;
    // Applied at once to an open port, which stays open.
    virtual void setSettings(const LineSettings& settings) = 0;
    virtual LineSettings settings() const = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Writes every byte of text as given, adding nothing.
    virtual void output(std::string_view text) = 0;
    // Everything received and not yet read; it is no longer waiting afterwards.
    virtual std::string input() = 0;
    virtual int commEvent() const = 0;
    // Raised on the window's thread whenever received characters wait, and on other events.
    virtual void setOnComm(std::function<void()> handler) = 0;

    // Where port n leads (a device path), for the operator's information.
    virtual std::string devicePath(int port) const = 0;
    // Text of the last failure (also of the one behind comEventLost).
    virtual std::string errorText() const = 0;
    // True while the last output still occupies the line: its wire time at the current speed
    // has not passed since it was handed over, or bytes still wait in a buffer or driver queue.
    virtual bool outputBusy() const = 0;
};

} // namespace tova
