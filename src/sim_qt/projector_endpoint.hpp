// SPDX-License-Identifier: MIT
#pragma once
// The virtual projector at the end of a line: on a pseudo-terminal (the panel opens the slave
// side like a serial port) or behind a TCP port (like a serial device server in raw mode).
#include "core/host_port.hpp"
#include "sim/projector.hpp"

#include <QElapsedTimer>
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

// The model, its reply delays, and bytes leaving at the line rate.
class ProjectorEndpoint : public QObject {
    Q_OBJECT
  public:
    ProjectorEndpoint(sim::ProjectorLine::Options options, ProjectorLog log, QObject* parent = nullptr);
    sim::ProjectorLine& model() { return m_line; }
    const sim::ProjectorLine& model() const { return m_line; }

  protected:
    void received(const char* data, std::size_t n);
    void log(const QString& text) const {
        if (m_log) m_log(text);
    }
    virtual qint64 send(const char* data, qint64 n) = 0;
    virtual int lineBaud() const { return m_line.baud(); }
    // A new client: the replies owed to the last one, queued or still to come, are dropped.
    void newSession() {
        ++m_session;
        m_out.clear();
        m_line.dropPartial();
    }

  private:
    void pump();
    sim::Ms now() const { return sim::Ms(m_clock.elapsed()); }

    sim::ProjectorLine m_line;
    ProjectorLog m_log;
    QElapsedTimer m_clock;
    QTimer m_pump;
    std::string m_out;       // bytes waiting for the wire
    unsigned m_session = 0;  // replies are owed to the session of the line they answer
    qint64 m_nextCharUs = 0; // when the next byte may go
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

// Two virtual projectors, one behind each of the panel's ports (--demo): on pseudo-terminals, or
// on Windows behind loopback TCP ports. com1 and com2 are set to where they are, and the
// operator is told. Throws std::runtime_error when one cannot start.
struct DemoProjectors {
    std::unique_ptr<ProjectorEndpoint> com1, com2;
    DemoProjectors(QString& com1Path, QString& com2Path);
};

} // namespace tova
