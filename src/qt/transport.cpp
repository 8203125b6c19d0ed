// SPDX-License-Identifier: MIT
#include "qt/transport.hpp"

#include "qt/console_guard.hpp"

#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace tova {

// A serial device opens at once; its outcome is told from the event loop all the same.
void Transport::openLater(const LineSettings& settings, std::function<void(std::optional<Fault>)> done) {
    QTimer::singleShot(0, this, [this, settings, done = std::move(done)] { done(open(settings)); });
}

namespace {

Link::Fault failed(SerialFault kind, const QString& text) { return {kind, text.toStdString()}; }

class SerialTransport : public Transport {
  public:
    SerialTransport(const QString& path, const Consoles& consoles) : m_path(path), m_consoles(consoles) {
        connect(&m_port, &QSerialPort::readyRead, this, [this] { readable(); });
        connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            // Read and resource errors repeat for ever on a vanished device: close at once. A read
            // that found nothing (its input was just discarded) is no loss, though.
            const bool fatal = e == QSerialPort::ResourceError || e == QSerialPort::WriteError ||
                               e == QSerialPort::PermissionError || (e == QSerialPort::ReadError && hungUp());
            if (e == QSerialPort::ReadError && !fatal) m_port.clearError();
            if (fatal && m_port.isOpen()) {
                const QString why = m_port.errorString();
                m_port.close();
                m_port.clearError();
                lost(why);
            }
        });
    }

    std::optional<Fault> open(const LineSettings& s) override {
        const auto consoles = m_consoles ? *m_consoles : activeConsoles();
        if (const std::string console = consoleBehind(m_path.toStdString(), consoles); !console.empty())
            return failed(SerialFault::Console, QStringLiteral("%1 is an active system console").arg(QString::fromStdString(console)));
        m_port.setPortName(m_path);
        if (!m_port.open(QIODevice::ReadWrite)) {
            const auto error = m_port.error();
            const QString text = m_port.errorString();
            m_port.clearError();
            SerialFault fault = SerialFault::Other;
            if (error == QSerialPort::DeviceNotFoundError) fault = SerialFault::NoDevice;
#ifdef Q_OS_UNIX
            // A lock held by another program reads as a permission error: tell them apart.
            else if (error == QSerialPort::PermissionError)
                fault = ::access(m_path.toLocal8Bit().constData(), R_OK | W_OK) == 0 ? SerialFault::InUse
                                                                                    : SerialFault::NoPermission;
#endif
            return failed(fault, text);
        }
        if (auto f = apply(s)) {
            m_port.close();
            return f;
        }
        return std::nullopt;
    }
    void close() override {
        if (m_port.isOpen()) m_port.close();
    }
    bool isOpen() const override { return m_port.isOpen(); }
    std::optional<Fault> apply(const LineSettings& s) override {
        if (!m_port.isOpen()) return std::nullopt;
        const auto parity = s.parity == 'E'   ? QSerialPort::EvenParity
                            : s.parity == 'O' ? QSerialPort::OddParity
                            : s.parity == 'M' ? QSerialPort::MarkParity
                            : s.parity == 'S' ? QSerialPort::SpaceParity
                                              : QSerialPort::NoParity;
        const auto stop = s.stopBits10 == 20   ? QSerialPort::TwoStop
                          : s.stopBits10 == 15 ? QSerialPort::OneAndHalfStop
                                               : QSerialPort::OneStop;
        // No control lines are set: a pseudo-terminal refuses them.
        const bool ok = m_port.setBaudRate(s.baud) &&
                        m_port.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) &&
                        m_port.setParity(parity) && m_port.setStopBits(stop) &&
                        m_port.setFlowControl(QSerialPort::NoFlowControl);
        if (!ok) return failed(SerialFault::Other, m_port.errorString());
        return std::nullopt;
    }
    bool write(std::string_view bytes) override {
        const qint64 n = m_port.write(bytes.data(), static_cast<qint64>(bytes.size()));
        if (n == static_cast<qint64>(bytes.size())) m_port.flush();
        return n == static_cast<qint64>(bytes.size());
    }
    std::string readAll() override { return m_port.readAll().toStdString(); }
    bool bytesWaiting() const override {
        if (!m_port.isOpen()) return false;
        if (m_port.bytesToWrite() > 0) return true;
#ifdef Q_OS_UNIX
        int queued = 0;
        if (::ioctl(m_port.handle(), TIOCOUTQ, &queued) == 0 && queued > 0) return true;
#endif
        return false;
    }
    std::size_t discardInput() override {
        if (!m_port.isOpen()) return 0;
        std::size_t n = static_cast<std::size_t>(m_port.bytesAvailable());
#ifdef Q_OS_UNIX
        int queued = 0;
        if (::ioctl(m_port.handle(), FIONREAD, &queued) == 0 && queued > 0) n += static_cast<std::size_t>(queued);
#endif
        m_port.clear(QSerialPort::Input);
        m_port.readAll();
        return n;
    }
    std::string errorText() const override { return m_port.errorString().toStdString(); }
    std::string describe() const override { return m_path.toStdString(); }

  private:
    // The device has hung up or failed, as the system tells it now.
    bool hungUp() const {
#ifdef Q_OS_UNIX
        pollfd p{static_cast<int>(m_port.handle()), POLLIN, 0};
        return ::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
        return true;
#endif
    }

    QString m_path;
    const Consoles& m_consoles;
    QSerialPort m_port;
};

class TcpTransport : public Transport {
  public:
    explicit TcpTransport(const QString& url) : m_url(url) {
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, [this] {
            m_socket.abort();
            opened(failed(SerialFault::NoAnswer, tr("Socket operation timed out")));
        });
        connect(&m_socket, &QTcpSocket::connected, this, [this] {
            if (!m_pending) return;
            m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
            m_open = true;
            opened(std::nullopt);
        });
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { readable(); });
        connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (m_pending) {
                const QString text = m_socket.errorString();
                m_socket.abort();
                return opened(failed(faultOf(e), text));
            }
            // A wait that timed out leaves the connection as it was.
            if (m_open && e != QAbstractSocket::SocketTimeoutError) drop(m_socket.errorString());
        });
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
            if (m_open) drop(tr("The remote host closed the connection"));
        });
    }
    ~TcpTransport() override {
        m_open = false;
        m_socket.abort();
    }

    std::optional<Fault> open(const LineSettings&) override {
        const QUrl url(m_url);
        if (!url.isValid() || url.host().isEmpty() || url.port() <= 0)
            return failed(SerialFault::Other, tr("Invalid address %1 (expected tcp://HOST:PORT)").arg(m_url));
        m_socket.abort();
        m_socket.connectToHost(url.host(), static_cast<quint16>(url.port()));
        if (!m_socket.waitForConnected(kConnectTimeoutMs)) {
            const auto error = m_socket.error();
            const QString text = m_socket.errorString();
            m_socket.abort();
            return failed(faultOf(error), text);
        }
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        m_open = true;
        return std::nullopt;
    }
    // The connection is made while the event loop runs on: an unreachable device server holds
    // nothing up for the 3 s it may take.
    void openLater(const LineSettings&, std::function<void(std::optional<Fault>)> done) override {
        const QUrl url(m_url);
        if (!url.isValid() || url.host().isEmpty() || url.port() <= 0) {
            const Fault f = failed(SerialFault::Other, tr("Invalid address %1 (expected tcp://HOST:PORT)").arg(m_url));
            QTimer::singleShot(0, this, [f, done = std::move(done)] { done(f); });
            return;
        }
        m_socket.abort();
        m_pending = std::move(done);
        m_deadline.start(kConnectTimeoutMs);
        m_socket.connectToHost(url.host(), static_cast<quint16>(url.port()));
    }
    void close() override {
        m_open = false;
        m_deadline.stop();
        m_pending = nullptr;
        m_socket.abort();
    }
    bool isOpen() const override { return m_open; }
    std::optional<Fault> apply(const LineSettings&) override { return std::nullopt; }
    bool write(std::string_view bytes) override {
        const qint64 n = m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        if (n == static_cast<qint64>(bytes.size())) m_socket.flush();
        return n == static_cast<qint64>(bytes.size());
    }
    std::string readAll() override { return m_socket.readAll().toStdString(); }
    bool bytesWaiting() const override { return m_open && m_socket.bytesToWrite() > 0; }
    std::size_t discardInput() override { return static_cast<std::size_t>(m_socket.readAll().size()); }
    std::string errorText() const override { return m_socket.errorString().toStdString(); }
    std::string describe() const override {
        return m_url.toStdString() + " (raw TCP: the speed setting does not apply)";
    }

  private:
    static SerialFault faultOf(QAbstractSocket::SocketError e) {
        return e == QAbstractSocket::ConnectionRefusedError ? SerialFault::Refused
               : e == QAbstractSocket::SocketTimeoutError   ? SerialFault::NoAnswer
               : e == QAbstractSocket::HostNotFoundError    ? SerialFault::NoDevice
                                                            : SerialFault::Other;
    }
    void opened(std::optional<Fault> f) {
        m_deadline.stop();
        if (auto done = std::exchange(m_pending, nullptr)) done(std::move(f));
    }
    void drop(const QString& why) {
        m_open = false;
        m_socket.abort();
        lost(why);
    }
    QString m_url;
    QTcpSocket m_socket;
    QTimer m_deadline;
    std::function<void(std::optional<Fault>)> m_pending; // an open on its way
    bool m_open = false;
};

} // namespace

std::unique_ptr<Transport> makeTransport(const QString& name, const Consoles& consoles) {
    if (name.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) return std::make_unique<TcpTransport>(name);
    return std::make_unique<SerialTransport>(name, consoles);
}

} // namespace tova
