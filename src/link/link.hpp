// SPDX-License-Identifier: MIT
#pragma once
// A link to a projector's line, as each system opens it by its name: a serial device, or
// tcp://HOST:PORT of a serial device server in raw TCP mode.
#include "core/serial_control.hpp"
#include "core/settings.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tova {

class Link {
  public:
    struct Fault {
        SerialFault kind;
        std::string text; // the system's own words
    };
    // What the link tells its control, on the window's thread.
    struct Events {
        std::function<void()> readable{};                    // bytes wait to be read
        std::function<void(const std::string& why)> lost{};  // the device failed; the link is closed
    };

    // How long a device server may take to accept the connection.
    static constexpr int kConnectTimeoutMs = 3000;

    virtual ~Link() = default;
    // Set once, by the control the link belongs to.
    virtual void setEvents(Events events) = 0;
    // Opens the link with these settings, waiting at most kConnectTimeoutMs for a device server.
    virtual std::optional<Fault> open(const LineSettings& settings) = 0;
    // The same without waiting: done is told later, on the window's thread, within the same bound.
    virtual void openLater(const LineSettings& settings, std::function<void(std::optional<Fault>)> done) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Applied at once to an open link; a raw TCP link only keeps them.
    virtual std::optional<Fault> apply(const LineSettings& settings) = 0;
    // Hands the bytes over and starts writing them now; false when not all were taken.
    virtual bool write(std::string_view bytes) = 0;
    virtual std::string readAll() = 0;
    // True while bytes handed over still wait in a buffer or a driver's queue.
    virtual bool bytesWaiting() const = 0;
    // Drops every received byte not read yet, a serial driver's input queue included; the count.
    virtual std::size_t discardInput() = 0;
    virtual std::string errorText() const = 0;
    // Where the link leads, as the operator reads it.
    virtual std::string describe() const = 0;
};

} // namespace tova
