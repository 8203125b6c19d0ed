// SPDX-License-Identifier: MIT
#pragma once
// The virtual projector at the end of a line: on a pseudo-terminal (the panel opens the slave
// side like a serial port) or behind a TCP port (like a serial device server in raw mode).
#include "core/host_port.hpp"
#include "core/clock.hpp"
#include "qt/qt_timer.hpp"
#include "sim/projector_port.hpp"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace tova {

// Each line received and each reply sent, for a log; none: nothing is logged.
using ProjectorLog = std::function<void(const QString&)>;

// The projector's port on Qt's event loop; each kind says how bytes reach the line.
class ProjectorEndpoint : public QObject {
    Q_OBJECT
  public:
    ProjectorEndpoint(sim::ProjectorLine::Options options, ProjectorLog log, QObject* parent = nullptr);
    sim::ProjectorLine& model() { return m_port.model(); }
    const sim::ProjectorLine& model() const { return m_port.model(); }

  protected:
    void received(const char* data, std::size_t n) { m_port.received(std::string_view(data, n)); }
    void log(const QString& text) const {
        if (m_log) m_log(text);
    }
    virtual qint64 send(const char* data, qint64 n) = 0;
    virtual int lineBaud() const { return model().baud(); }
    // A new client: the replies owed to the last one, queued or still to come, are dropped.
    void newSession() { m_port.newSession(); }

  private:
    ProjectorLog m_log;
    QtTimer m_timer;
    SteadyClock m_clock;
    sim::ProjectorPort m_port;
};

class TcpProjector : public ProjectorEndpoint {
    Q_OBJECT
  public:
    // Throws std::runtime_error when the address cannot be listened on.
    TcpProjector(sim::ProjectorLine::Options options, const QHostAddress& host, quint16 port, ProjectorLog log = {},
                 QObject* parent = nullptr);
    quint16 port() const { return m_server.serverPort(); }
    void dropClient(); // as a device server that loses its network

  protected:
    qint64 send(const char* data, qint64 n) override;

  private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client; // one client at a time, like a device server's port
    QObject* m_clientObject = nullptr; // the same, for comparing only
};

// The projector of tova-sim: on a TCP port when listen is given, else on a pseudo-terminal
// (POSIX only); where is set to what the panel is given (tcp://HOST:PORT, or the device).
// Throws std::runtime_error saying why it cannot start.
std::unique_ptr<ProjectorEndpoint> startProjector(const sim::ProjectorLine::Options& options,
                                                  const std::optional<HostPort>& listen, QString& where,
                                                  ProjectorLog log = {});

} // namespace tova
