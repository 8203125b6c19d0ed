// SPDX-License-Identifier: MIT
#pragma once
// The links of the Qt build, opened by their name: a serial device (QSerialPort), or
// tcp://HOST:PORT of a serial device server in raw TCP mode. makeTransport() is the one place
// that tells them apart: a new kind of link is one class and one line there.
#include "link/link.hpp"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tova {

// A link on Qt's event loop: what it tells goes to the control's events.
class Transport : public QObject, public Link {
    Q_OBJECT
  public:
    void setEvents(Events events) override { m_events = std::move(events); }
    // A serial device opens at once; its outcome is told from the event loop all the same.
    void openLater(const LineSettings& settings, std::function<void(std::optional<Fault>)> done) override;

  protected:
    void readable() {
        if (m_events.readable) m_events.readable();
    }
    void lost(const QString& why) {
        if (m_events.lost) m_events.lost(why.toStdString());
    }

  private:
    Events m_events;
};

// The devices a serial link never opens; none given: the active system consoles, looked up at
// each open.
using Consoles = std::optional<std::vector<std::string>>;

// The link that name leads to, not opened yet. consoles must outlive it.
std::unique_ptr<Transport> makeTransport(const QString& name, const Consoles& consoles);

} // namespace tova
