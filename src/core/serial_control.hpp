// SPDX-License-Identifier: MIT
#pragma once
// The window's serial-communications control, as the handlers see it.
#include "core/settings.hpp"

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tova {

// What kind of failure the serial layer met, for a plain reading of its own words.
enum class SerialFault {
    Other,        // the serial layer's words are all there is
    NoDevice,     // nothing at that path
    InUse,        // held by another program
    NoPermission, // the user may not open it
    Disconnected, // unplugged, hung up, or the connection dropped
    NotOpen,      // an operation that needs an open port
    Console,      // an active system console: never opened
    NoAnswer,     // a device server that does not take the connection in time
    Refused,      // a device server that refused the connection
};

struct SerialFailure {
    int port = 0;        // the port it happened on, 1 or 2; 0 when none is concerned
    std::string device;  // where that port leads
    SerialFault fault = SerialFault::Other;
    std::string text;    // the serial layer's own words; empty: no failure
};

// As the operator reads it: the port and its device first, a plain reading where the serial
// layer's words would mislead, and those words in brackets.
std::string describe(const SerialFailure& f);
// The operator's next step for a kind of failure, one short sentence without its full stop.
std::string_view nextStep(SerialFault fault);
// The warning box's text: the failure described, and on a line of its own the next step.
std::string warningText(const SerialFailure& f);
// The same, the device named rather than a port: for the tools, which have no COM1.
std::string describeDevice(const SerialFailure& f);

// A failed serial operation; what() is the failure described.
class SerialError : public std::runtime_error {
  public:
    explicit SerialError(SerialFailure f) : std::runtime_error(describe(f)), m_failure(std::move(f)) {}
    const SerialFailure& failure() const { return m_failure; }

  private:
    SerialFailure m_failure;
};

// What the control tells the one who reads the line: on the window's thread, and never while a
// call into the control is running.
struct SerialEvents {
    // Characters arrived: every byte received and not told before.
    std::function<void(const std::string& bytes)> received{};
    // The device failed (unplugged, hung up, the connection dropped); the port is closed now.
    std::function<void(const SerialFailure& failure)> lost{};
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
    // Opens the port and tells done, with the failure if it failed. A control may finish later
    // (a device server's connection is made without waiting for it); this one opens at once.
    virtual void openPort(std::function<void(const SerialError* failed)> done) {
        try {
            setPortOpen(true);
        } catch (const SerialError& e) {
            done(&e);
            return;
        }
        done(nullptr);
    }
    // Writes every byte of text as given, adding nothing. Throws when the bytes cannot be handed
    // over, also when the device fails during the hand-over.
    virtual void output(std::string_view text) = 0;
    // Who hears of the line: its one reader, which comes to a control that exists already.
    // Bytes that arrive before there is one wait for it (or for discardInput).
    virtual void setEvents(SerialEvents events) = 0;

    // Where port n leads (a device path), for the operator's information.
    virtual std::string devicePath(int port) const = 0;
    // Port n leads to device from now on (closed first when it is the open one); throws when
    // this control cannot lead a port elsewhere.
    virtual void leadPort(int port, const std::string& device) = 0;
    // The last failure (also the one a lost device was told with); its text is empty when none came.
    virtual SerialFailure lastFailure() const = 0;
    // True while the last output still occupies the line: its wire time at the current speed
    // has not passed since it was handed over, or bytes still wait in a buffer or driver queue.
    virtual bool outputBusy() const = 0;
    // Drops every received byte not told yet, those still in a driver's queue included; the count.
    virtual std::size_t discardInput() = 0;
    // Told when a line's reply did not come within its time-out, for a trace of the line.
    virtual void noteNoReply() {}
};

} // namespace tova
