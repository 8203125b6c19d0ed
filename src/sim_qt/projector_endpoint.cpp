// SPDX-License-Identifier: MIT
#include "sim_qt/projector_endpoint.hpp"

#include "core/settings.hpp"
#include "link/traffic.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace tova {

namespace {

int baudOf(speed_t s) {
    switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

QString shown(const std::string& bytes) { return QString::fromStdString(trafficText(bytes)); }

} // namespace

ProjectorEndpoint::ProjectorEndpoint(sim::ProjectorLine::Options options, QObject* parent)
    : QObject(parent), m_line(options) {
    m_clock.start();
    m_pump.setSingleShot(true);
    m_pump.setTimerType(Qt::PreciseTimer);
    connect(&m_pump, &QTimer::timeout, this, &ProjectorEndpoint::pump);
}

void ProjectorEndpoint::received(const char* data, std::size_t n) {
    const int baud = lineBaud();
    for (auto& out : m_line.receive(std::string_view(data, n), baud, now())) {
        std::string bytes = m_line.toPanel(out.bytes, baud);
        QTimer::singleShot(std::max<qint64>(0, (out.at - now()).count()), Qt::PreciseTimer, this,
                           [this, bytes, reply = out.bytes, session = m_session] {
                               if (session != m_session) return; // its client has gone
                               if (log) log(QStringLiteral("reply:%1").arg(shown(reply)));
                               m_out += bytes;
                               pump();
                           });
    }
    if (log)
        for (const auto& l : m_line.takeLog()) log(QStringLiteral("line:%1").arg(shown(l)));
}

void ProjectorEndpoint::pump() {
    // Bytes leave at the line rate: 10 bits a character at the speed the line is set to.
    const qint64 charUs = wireTime(1, LineSettings{lineBaud()}).count();
    const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
    m_nextCharUs = std::max(m_nextCharUs, nowUs);
    std::size_t due = 0;
    while (due < m_out.size() && m_nextCharUs + static_cast<qint64>(due) * charUs <= nowUs) ++due;
    if (due > 0) {
        const qint64 n = send(m_out.data(), static_cast<qint64>(due));
        if (n > 0) {
            m_out.erase(0, static_cast<std::size_t>(n));
            m_nextCharUs += n * charUs;
        }
    }
    if (!m_out.empty())
        m_pump.start(static_cast<int>(std::max<qint64>(1, (m_nextCharUs - nowUs) / 1000)));
}

PtyProjector::PtyProjector(sim::ProjectorLine::Options options, QObject* parent)
    : ProjectorEndpoint(options, parent) {
    m_slave = ::open(m_pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    const speed_t speed = options.baud == 9600 ? B9600 : B19200;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    ::tcsetattr(m_slave, TCSANOW, &t);
    m_notifier = std::make_unique<QSocketNotifier>(m_pty.master(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buf[4096];
        const ssize_t n = ::read(m_pty.master(), buf, sizeof buf);
        if (n > 0) received(buf, static_cast<std::size_t>(n));
    });
}

PtyProjector::~PtyProjector() {
    m_notifier.reset();
    if (m_slave >= 0) ::close(m_slave);
}

int PtyProjector::lineBaud() const {
    termios t{};
    if (::tcgetattr(m_slave, &t) != 0) return model().baud();
    const int b = baudOf(::cfgetospeed(&t));
    return b ? b : model().baud();
}

qint64 PtyProjector::send(const char* data, qint64 n) {
    return ::write(m_pty.master(), data, static_cast<std::size_t>(n));
}

TcpProjector::TcpProjector(sim::ProjectorLine::Options options, const QHostAddress& host,
                           quint16 port, QObject* parent)
    : ProjectorEndpoint(options, parent) {
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
            if (log) log(QStringLiteral("client %1 connected").arg(s->peerAddress().toString()));
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
                                                  const std::optional<HostPort>& listen, QString& where) {
    if (!listen) {
        auto pty = std::make_unique<PtyProjector>(options);
        where = pty->devicePath();
        return pty;
    }
    const QHostAddress host(QString::fromStdString(listen->host));
    if (host.isNull()) throw std::runtime_error("listen on " + formatHostPort(*listen) + ": not an IP address");
    auto tcp = std::make_unique<TcpProjector>(options, host, static_cast<quint16>(listen->port));
    where = QString::fromStdString("tcp://" + formatHostPort({listen->host, tcp->port()}));
    return tcp;
}

namespace {
sim::ProjectorLine::Options demoOptions() {
    sim::ProjectorLine::Options o;
    o.timings = sim::fastTimings();
    return o;
}
} // namespace

DemoProjectors::DemoProjectors(QString& com1Path, QString& com2Path) : com1(demoOptions()), com2(demoOptions()) {
    com1Path = com1.devicePath();
    com2Path = com2.devicePath();
    std::fprintf(stderr, "tova-control: demo: virtual projectors on COM1 %s and COM2 %s\n", qPrintable(com1Path),
                 qPrintable(com2Path));
}

} // namespace tova
