// SPDX-License-Identifier: MIT
#pragma once
// Keeps a trace of the line: every line sent and every piece received, a missing reply, each
// failure with its port, with the time to the millisecond. The trace is a regular file that is
// only ever appended to in whole lines.
#include "core/serial_control.hpp"
#include "link/trace_file.hpp"

#include <chrono>
#include <functional>
#include <string_view>
#include <memory>

namespace tova {

// One line of a trace: "2026-12-08 14:03:07.123 TX " C 0 0 CR "".
std::string traceLine(std::chrono::system_clock::time_point at, std::string_view what, std::string_view text);

class TracingSerial : public SerialControl {
  public:
    // Appends to path, which must be a regular file (or not exist yet); throws std::runtime_error
    // saying why not. A FIFO, a device or a folder is refused at once, never waited on.
    TracingSerial(SerialControl& inner, std::string path);
    ~TracingSerial() override;
    TracingSerial(const TracingSerial&) = delete;
    TracingSerial& operator=(const TracingSerial&) = delete;

    // Told once when the trace can no longer be written (a full disk, a size limit); at once if
    // that has happened already.
    void setOnFailure(std::function<void(const std::string&)> tell);
    // Opens the file again under its name (after it was rotated); goes on with the old one if
    // it cannot, and says why.
    void reopen();

    void setCommPort(int port) override { m_inner.setCommPort(port); }
    int commPort() const override { return m_inner.commPort(); }
    void setSettings(const LineSettings& s) override;
    LineSettings settings() const override { return m_inner.settings(); }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_inner.portOpen(); }
    void output(std::string_view text) override;
    void setEvents(SerialEvents events) override;
    std::string devicePath(int port) const override { return m_inner.devicePath(port); }
    void leadPort(int port, const std::string& device) override { m_inner.leadPort(port, device); }
    SerialFailure lastFailure() const override { return m_inner.lastFailure(); }
    bool outputBusy() const override { return m_inner.outputBusy(); }
    std::size_t discardInput() override { return m_inner.discardInput(); }
    void noteNoReply() override;

  private:
    void note(const char* what, const std::string& text);
    SerialControl& m_inner;
    std::string m_path;
    std::unique_ptr<TraceFile> m_file;
    bool m_failed = false;
    std::string m_failure; // what stopped the trace
    std::function<void(const std::string&)> m_onFailure;
    std::string m_lastSent;
};

} // namespace tova
