// SPDX-License-Identifier: MIT
#include "sim_qt/projector_endpoint.hpp"
#ifdef Q_OS_UNIX
#include "sim_qt/pty_projector.hpp"
#endif

#include "core/settings.hpp"
#include "link/traffic.hpp"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace tova {

ProjectorEndpoint::ProjectorEndpoint(sim::ProjectorLine::Options options, ProjectorLog log, QObject* parent)
    : QObject(parent), m_log(std::move(log)),
      m_port(options, m_timer, m_clock,
             {[this](std::string_view bytes) {
                  const qint64 n = send(bytes.data(), static_cast<qint64>(bytes.size()));
                  return n > 0 ? static_cast<std::size_t>(n) : std::size_t{0};
              },
              // Without a log the model keeps its lines for a reader of its own (a test).
              m_log ? std::function<void(const std::string&)>(
                          [this](const std::string& text) { this->log(QString::fromStdString(text)); })
                    : nullptr,
              [this] { return lineBaud(); }}) {}

TcpProjector::TcpProjector(sim::ProjectorLine::Options options, const QHostAddress& host, quint16 port,
                           ProjectorLog log, QObject* parent)
    : ProjectorEndpoint(options, std::move(log), parent) {
    if (!m_server.listen(host, port))
        throw std::runtime_error("listen on " + host.toString().toStdString() + ":" +
                                 std::to_string(port) + ": " + m_server.errorString().toStdString());
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            if (m_client) m_client->abort(); // the newest client takes the port over
            m_client = s;
            m_clientObject = s;
            newSession();
            // Compared as the object it was: it may be half destroyed when it says so.
            connect(s, &QTcpSocket::disconnected, this, [this, object = static_cast<QObject*>(s)] {
                if (object == m_clientObject) {
                    m_clientObject = nullptr;
                    newSession(); // its replies still to come go nowhere
                }
                object->deleteLater();
            });
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                const QByteArray in = s->readAll();
                if (static_cast<QObject*>(s) == m_clientObject)
                    received(in.constData(), static_cast<std::size_t>(in.size()));
            });
            this->log(QStringLiteral("client %1 connected").arg(s->peerAddress().toString()));
        }
    });
}

void TcpProjector::dropClient() {
    if (m_client) m_client->abort();
}

qint64 TcpProjector::send(const char* data, qint64 n) {
    if (!m_client) return n; // nobody listening: the bytes are lost, as on an open line
    return m_client->write(data, n);
}

std::unique_ptr<ProjectorEndpoint> startProjector(const sim::ProjectorLine::Options& options,
                                                  const std::optional<HostPort>& listen, QString& where,
                                                  ProjectorLog log) {
    if (!listen) {
#ifdef Q_OS_UNIX
        auto pty = std::make_unique<PtyProjector>(options, std::move(log));
        where = pty->devicePath();
        return pty;
#else
        throw std::runtime_error("pseudo-terminals are POSIX only: give --listen HOST:PORT");
#endif
    }
    const QHostAddress host(QString::fromStdString(listen->host));
    if (host.isNull()) throw std::runtime_error("listen on " + formatHostPort(*listen) + ": not an IP address");
    auto tcp = std::make_unique<TcpProjector>(options, host, static_cast<quint16>(listen->port), std::move(log));
    where = QString::fromStdString("tcp://" + formatHostPort({listen->host, tcp->port()}));
    return tcp;
}

} // namespace tova
