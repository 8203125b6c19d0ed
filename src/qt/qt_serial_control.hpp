// SPDX-License-Identifier: MIT
#pragma once
// The serial control on a transport: port 1 and 2 lead to devices by name (a serial device, or
// tcp://HOST:PORT of a device server); the transport factory opens what the name says.
#include "core/serial_control.hpp"
#include "core/settings.hpp"
#include "qt/transport.hpp"

#include <QObject>

#include <array>
#include <chrono>
#include <memory>
#include <vector>

namespace tova {

class QtSerialControl : public QObject, public SerialControl {
    Q_OBJECT
  public:
    QtSerialControl(QString com1, QString com2, QObject* parent = nullptr);
    // One device behind both ports, for the programs that take one device.
    explicit QtSerialControl(const QString& device, QObject* parent = nullptr)
        : QtSerialControl(device, device, parent) {}
    ~QtSerialControl() override;

    // Where port n leads when no device is named: USB adapters on Linux, COM1 and COM2 on Windows.
    static QString defaultDevice(int port);

    void setCommPort(int port) override;
    int commPort() const override { return m_port; }
    void setSettings(const LineSettings& settings) override;
    LineSettings settings() const override { return m_settings; }
    void setPortOpen(bool open) override;
    void openPort(std::function<void(const SerialError* failed)> done) override;
    bool portOpen() const override { return link().isOpen(); }
    void output(std::string_view text) override;
    void setEvents(SerialEvents events) override { m_events = std::move(events); }
    std::string devicePath(int port) const override;
    SerialFailure lastFailure() const override { return m_last; }
    bool outputBusy() const override;
    std::size_t discardInput() override;

    // The system consoles this control refuses to open (by default the active ones).
    void setConsoles(std::vector<std::string> devices) { m_consoles = std::move(devices); }

  private:
    Transport& link() const { return *m_links[static_cast<std::size_t>(m_port - 1)]; }
    std::string path() const { return link().describe(); }
    [[noreturn]] void fail(SerialFault fault, const QString& text);
    void lost(const QString& text);
    void tellReceived(); // what the current link has received, to the reader

    Consoles m_consoles;
    std::array<std::unique_ptr<Transport>, 2> m_links;
    int m_port = 1;
    LineSettings m_settings{9600};
    SerialFailure m_last;
    SerialEvents m_events;
    std::chrono::steady_clock::time_point m_wireFree{};
};

} // namespace tova
