#pragma once
// Keeps a trace of the line: every line sent and every piece received, with its time.
#include "core/serial_control.hpp"

#include <QFile>
#include <QString>

namespace tova {

class TracingSerial : public SerialControl {
  public:
    // Appends to path; throws std::runtime_error with the system's text when it cannot be opened.
    TracingSerial(SerialControl& inner, const QString& path);

    void setCommPort(int port) override { m_inner.setCommPort(port); }
    int commPort() const override { return m_inner.commPort(); }
    void setSettings(const LineSettings& s) override;
    LineSettings settings() const override { return m_inner.settings(); }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_inner.portOpen(); }
    void output(std::string_view text) override;
    std::string input() override;
    int commEvent() const override { return m_inner.commEvent(); }
    void setOnComm(std::function<void()> handler) override;
    std::string devicePath(int port) const override { return m_inner.devicePath(port); }
    SerialFailure lastFailure() const override { return m_inner.lastFailure(); }
    bool outputBusy() const override { return m_inner.outputBusy(); }

  private:
    void note(const char* what, const std::string& text);
    SerialControl& m_inner;
    QFile m_file;
};

} // namespace tova
