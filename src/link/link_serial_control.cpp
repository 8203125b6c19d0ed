// SPDX-License-Identifier: MIT
#include "link/link_serial_control.hpp"

namespace tova {

LinkSerialControl::LinkSerialControl(MakeLink makeLink, const std::string& com1, const std::string& com2, Later later)
    : m_makeLink(std::move(makeLink)), m_links{m_makeLink(com1), m_makeLink(com2)}, m_later(std::move(later)) {
    for (auto& l : m_links) wire(l.get());
}

void LinkSerialControl::wire(Link* t) {
    t->setEvents({[this, t] {
                      if (t == &link()) tellReceived();
                  },
                  [this, t](const std::string& why) {
                      if (t == &link()) lost(why);
                  }});
}

void LinkSerialControl::leadPort(int port, const std::string& device) {
    if (port < 1 || port > 2) fail(SerialFault::Other, "Invalid port number " + std::to_string(port));
    auto& slot = m_links[static_cast<std::size_t>(port - 1)];
    slot->setEvents({});
    slot->close();
    slot = m_makeLink(device);
    wire(slot.get());
}

LinkSerialControl::~LinkSerialControl() {
    m_events = {};
    for (auto& l : m_links) l->close();
}

std::string LinkSerialControl::devicePath(int port) const {
    if (port < 1 || port > 2) return {};
    return m_links[static_cast<std::size_t>(port - 1)]->describe();
}

void LinkSerialControl::fail(SerialFault fault, const std::string& text) {
    m_last = {m_port, path(), fault, text};
    throw SerialError(m_last);
}

void LinkSerialControl::setCommPort(int port) {
    if (portOpen()) fail(SerialFault::Other, "Port already open");
    if (port < 1 || port > 2) fail(SerialFault::Other, "Invalid port number " + std::to_string(port));
    m_port = port;
}

void LinkSerialControl::setSettings(const LineSettings& s) {
    // Applied to an open port, which stays open; a closed one keeps them for its next open.
    if (auto f = link().apply(s)) fail(f->kind, f->text);
    m_settings = s;
}

void LinkSerialControl::setPortOpen(bool open) {
    if (!open) {
        link().close();
        return;
    }
    if (portOpen()) fail(SerialFault::Other, "Port already open");
    if (auto f = link().open(m_settings)) fail(f->kind, f->text);
    m_last = {};
    m_wireFree = {};
}

void LinkSerialControl::openPort(std::function<void(const SerialError* failed)> done) {
    if (portOpen()) {
        const SerialError e({m_port, path(), SerialFault::Other, "Port already open"});
        return done(&e);
    }
    const int port = m_port;
    link().openLater(m_settings, [this, port, done = std::move(done)](std::optional<Link::Fault> f) {
        if (f) {
            m_last = {port, path(), f->kind, f->text};
            const SerialError e(m_last);
            return done(&e);
        }
        m_last = {};
        m_wireFree = {};
        done(nullptr);
    });
}

void LinkSerialControl::output(std::string_view text) {
    if (!portOpen()) {
        // A closed port names the failure that closed it, when it was this port's.
        const std::string why = m_last.port == m_port ? m_last.text : std::string();
        throw SerialError({m_port, path(), SerialFault::NotOpen, why});
    }
    // Writing starts now rather than on the next turn of the event loop; a device that fails
    // during the hand-over is lost by now.
    const bool whole = link().write(text);
    if (!portOpen()) throw SerialError(m_last);
    if (!whole) fail(SerialFault::Other, link().errorText());
    const auto now = std::chrono::steady_clock::now();
    m_wireFree = std::max(now, m_wireFree) + wireTime(text.size(), m_settings);
}

std::size_t LinkSerialControl::discardInput() { return portOpen() ? link().discardInput() : 0; }

bool LinkSerialControl::outputBusy() const {
    if (!portOpen()) return false;
    return std::chrono::steady_clock::now() < m_wireFree || link().bytesWaiting();
}

void LinkSerialControl::lost(const std::string& text) {
    m_last = {m_port, path(), SerialFault::Disconnected, text};
    link().close();
    // Told after whatever call into the control is running now has returned.
    m_later([this, alive = std::weak_ptr<bool>(m_alive)] {
        if (alive.lock() && m_events.lost) m_events.lost(m_last);
    });
}

void LinkSerialControl::tellReceived() {
    // Without a reader the bytes wait in the link, as they would in a driver's queue.
    if (!m_events.received || !portOpen()) return;
    const std::string bytes = link().readAll();
    if (!bytes.empty()) m_events.received(bytes);
}

} // namespace tova
