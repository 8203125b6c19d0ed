// SPDX-License-Identifier: MIT
#pragma once
// The serial control on QSerialPort: port 1 and 2 lead to device paths. A path of the form
// tcp://HOST:PORT leads to a serial device server in raw TCP mode instead.
#include "core/serial_control.hpp"
#include "core/settings.hpp"

#include <QObject>
#include <QSerialPort>
#include <QTcpSocket>

#include <array>
#include <chrono>
#include <vector>

namespace tova {

class QtSerialControl : public QObject, public SerialControl {
    Q_OBJECT
  public:
    QtSerialControl(QString com1, QString com2, QObject* parent = nullptr);
    ~QtSerialControl() override;

    static QString defaultDevice(int port);
    static bool isTcp(const QString& path);

    void setCommPort(int port) override;
    int commPort() const override { return m_port; }
    void setSettings(const LineSettings& settings) override;
    LineSettings settings() const override { return m_settings; }
    void setPortOpen(bool open) override;
    bool portOpen() const override;
    void output(std::string_view text) override;
    std::string input() override;
    int commEvent() const override { return m_event; }
    void setOnComm(std::function<void()> handler) override { m_onComm = std::move(handler); }
    std::string devicePath(int port) const override;
    SerialFailure lastFailure() const override { return m_last; }
    bool outputBusy() const override;
    // True while bytes handed over still wait in Qt's buffer or the driver's queue.
    bool bytesWaiting() const;
    // Drops every received byte not read yet, a serial driver's input queue included; their
    // count. What a network socket holds arrives as events first.
    std::size_t discardInput();

    // The system consoles this control refuses to open (by default the active ones).
    void setConsoles(std::vector<std::string> devices) { m_consoles = std::move(devices); m_ownConsoles = true; }
    // How long a device server may take to accept the connection.
    static constexpr int kConnectTimeoutMs = 3000;

  private:
    QIODevice* device(); // the open link, serial or TCP
    std::string path() const { return m_paths[static_cast<std::size_t>(m_port - 1)].toStdString(); }
    void apply(const LineSettings& s);
    void openSerial(const QString& path);
    void openTcp(const QString& url);
    [[noreturn]] void fail(SerialFault fault, const QString& text);
    void lost(const QString& text);
    void raise(int kind);

    QSerialPort m_serial;
    QTcpSocket m_tcp;
    bool m_tcpOpen = false;
    std::array<QString, 2> m_paths;
    int m_port = 1;
    LineSettings m_settings{9600};
    int m_event = 0;
    SerialFailure m_last;
    std::function<void()> m_onComm;
    std::chrono::steady_clock::time_point m_wireFree{};
    std::vector<std::string> m_consoles;
    bool m_ownConsoles = false;
};

} // namespace tova
