// SPDX-License-Identifier: MIT
#pragma once
// The serial control over two links, ports 1 and 2, whatever system they are opened on: which
// port is chosen, its settings, the failures kept by port, the time the last line holds the
// wire, and a lost device told once, after the call that met it has returned.
#include "core/serial_control.hpp"
#include "link/link.hpp"

#include <array>
#include <chrono>
#include <functional>
#include <memory>

namespace tova {

class LinkSerialControl : public SerialControl {
  public:
    // later: runs a function on the window's thread once the call running now has returned.
    using Later = std::function<void(std::function<void()>)>;
    // makeLink: a link to a device by its name, for a port led elsewhere.
    using MakeLink = std::function<std::unique_ptr<Link>(const std::string& device)>;
    LinkSerialControl(MakeLink makeLink, const std::string& com1, const std::string& com2, Later later);
    ~LinkSerialControl() override;
    LinkSerialControl(const LinkSerialControl&) = delete;
    LinkSerialControl& operator=(const LinkSerialControl&) = delete;

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
    void leadPort(int port, const std::string& device) override;
    SerialFailure lastFailure() const override { return m_last; }
    bool outputBusy() const override;
    std::size_t discardInput() override;

  private:
    Link& link() const { return *m_links[static_cast<std::size_t>(m_port - 1)]; }
    std::string path() const { return link().describe(); }
    [[noreturn]] void fail(SerialFault fault, const std::string& text);
    void lost(const std::string& text);
    void tellReceived(); // what the current link has received, to the reader
    void wire(Link* link); // its events to this control, while it is the chosen one

    MakeLink m_makeLink;
    std::array<std::unique_ptr<Link>, 2> m_links;
    Later m_later;
    int m_port = 1;
    LineSettings m_settings{9600};
    SerialFailure m_last;
    SerialEvents m_events;
    std::chrono::steady_clock::time_point m_wireFree{};
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); // for what is told later
};

} // namespace tova
