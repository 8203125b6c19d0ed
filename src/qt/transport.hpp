// SPDX-License-Identifier: MIT
#pragma once
// A link to a projector's line, opened by its name: a serial device (QSerialPort), or
// tcp://HOST:PORT of a serial device server in raw TCP mode. makeTransport() is the one place
// that tells them apart: a new kind of link is one class and one line there.
#include "core/serial_control.hpp"
#include "core/settings.hpp"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tova {

class Transport : public QObject {
    Q_OBJECT
  public:
    struct Fault {
        SerialFault kind;
        QString text; // the layer's own words
    };

    // Opens the link with these settings, waiting at most kConnectTimeoutMs for a device server.
    virtual std::optional<Fault> open(const LineSettings& settings) = 0;
    // The same without waiting: done is told later, from the event loop, within the same bound.
    virtual void openLater(const LineSettings& settings, std::function<void(std::optional<Fault>)> done);
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
    virtual QString errorText() const = 0;
    // Where the link leads, as the operator reads it.
    virtual std::string describe() const = 0;

    // How long a device server may take to accept the connection.
    static constexpr int kConnectTimeoutMs = 3000;

  signals:
    void readyRead();
    void lost(const QString& why); // the device failed; the link is closed
};

// The devices a serial link never opens; none given: the active system consoles, looked up at
// each open.
using Consoles = std::optional<std::vector<std::string>>;

// The link that name leads to, not opened yet. consoles must outlive it.
std::unique_ptr<Transport> makeTransport(const QString& name, const Consoles& consoles);

} // namespace tova
