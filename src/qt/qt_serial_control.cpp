// SPDX-License-Identifier: MIT
#include "qt/qt_serial_control.hpp"

#include "qt/console_guard.hpp"

#include <QUrl>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace tova {

QtSerialControl::QtSerialControl(QString com1, QString com2, QObject* parent)
    : QObject(parent), m_paths{std::move(com1), std::move(com2)} {
    connect(&m_serial, &QSerialPort::readyRead, this, [this] { raise(comEvReceive); });
    connect(&m_serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // Read and resource errors repeat for ever on a vanished device: close at once.
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError ||
            e == QSerialPort::WriteError || e == QSerialPort::PermissionError)
            if (m_serial.isOpen()) lost(m_serial.errorString());
    });
    connect(&m_tcp, &QTcpSocket::readyRead, this, [this] { raise(comEvReceive); });
    connect(&m_tcp, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        // A wait that timed out leaves the connection as it was.
        if (m_tcpOpen && e != QAbstractSocket::SocketTimeoutError) lost(m_tcp.errorString());
    });
    connect(&m_tcp, &QTcpSocket::disconnected, this, [this] {
        if (m_tcpOpen) lost(tr("The remote host closed the connection"));
    });
}

QtSerialControl::~QtSerialControl() {
    m_onComm = nullptr;
    m_tcpOpen = false;
    if (m_serial.isOpen()) m_serial.close();
    m_tcp.abort();
}

QString QtSerialControl::defaultDevice(int port) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    // USB adapters: the built-in first port is often the system console.
    return QStringLiteral("/dev/ttyUSB%1").arg(port - 1);
#endif
}

bool QtSerialControl::isTcp(const QString& path) {
    return path.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

std::string QtSerialControl::devicePath(int port) const {
    if (port < 1 || port > 2) return {};
    const QString& path = m_paths[static_cast<std::size_t>(port - 1)];
    if (isTcp(path)) return path.toStdString() + " (raw TCP: the speed setting does not apply)";
    return path.toStdString();
}

void QtSerialControl::fail(SerialFault fault, const QString& text) {
    m_last = {m_port, path(), fault, text.toStdString()};
    throw SerialError(m_last);
}

bool QtSerialControl::portOpen() const { return m_serial.isOpen() || m_tcpOpen; }

QIODevice* QtSerialControl::device() {
    if (m_tcpOpen) return &m_tcp;
    if (m_serial.isOpen()) return &m_serial;
    return nullptr;
}

void QtSerialControl::setCommPort(int port) {
    if (portOpen()) fail(SerialFault::Other, tr("Port already open"));
    if (port < 1 || port > 2) fail(SerialFault::Other, tr("Invalid port number %1").arg(port));
    m_port = port;
}

void QtSerialControl::apply(const LineSettings& s) {
    const auto parity = s.parity == 'E'   ? QSerialPort::EvenParity
                        : s.parity == 'O' ? QSerialPort::OddParity
                        : s.parity == 'M' ? QSerialPort::MarkParity
                        : s.parity == 'S' ? QSerialPort::SpaceParity
                                          : QSerialPort::NoParity;
    const auto stop = s.stopBits10 == 20   ? QSerialPort::TwoStop
                      : s.stopBits10 == 15 ? QSerialPort::OneAndHalfStop
                                           : QSerialPort::OneStop;
    bool ok = m_serial.setBaudRate(s.baud) &&
              m_serial.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) &&
              m_serial.setParity(parity) && m_serial.setStopBits(stop) &&
              m_serial.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) fail(SerialFault::Other, m_serial.errorString());
}

void QtSerialControl::setSettings(const LineSettings& s) {
    // Applied to an open port, which stays open; a raw TCP link only keeps them.
    if (m_serial.isOpen()) apply(s);
    m_settings = s;
}

void QtSerialControl::openTcp(const QString& path) {
    const QUrl url(path);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0)
        fail(SerialFault::Other, tr("Invalid address %1 (expected tcp://HOST:PORT)").arg(path));
    m_tcp.abort();
    m_tcp.connectToHost(url.host(), static_cast<quint16>(url.port()));
    if (!m_tcp.waitForConnected(kConnectTimeoutMs)) {
        const auto error = m_tcp.error();
        const QString text = m_tcp.errorString();
        m_tcp.abort();
        fail(error == QAbstractSocket::ConnectionRefusedError ? SerialFault::Refused
             : error == QAbstractSocket::SocketTimeoutError   ? SerialFault::NoAnswer
             : error == QAbstractSocket::HostNotFoundError    ? SerialFault::NoDevice
                                                              : SerialFault::Other,
             text);
    }
    m_tcp.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_tcp.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    m_tcpOpen = true;
}

void QtSerialControl::openSerial(const QString& path) {
    if (!m_ownConsoles) m_consoles = activeConsoles();
    if (const std::string console = consoleBehind(path.toStdString(), m_consoles); !console.empty())
        fail(SerialFault::Console, tr("%1 is an active system console").arg(QString::fromStdString(console)));
    m_serial.setPortName(path);
    if (!m_serial.open(QIODevice::ReadWrite)) {
        const auto error = m_serial.error();
        const QString text = m_serial.errorString();
        m_serial.clearError();
        SerialFault fault = SerialFault::Other;
        if (error == QSerialPort::DeviceNotFoundError) fault = SerialFault::NoDevice;
#ifdef Q_OS_UNIX
        // A lock held by another program reads as a permission error: tell them apart.
        else if (error == QSerialPort::PermissionError)
            fault = ::access(path.toLocal8Bit().constData(), R_OK | W_OK) == 0 ? SerialFault::InUse
                                                                                : SerialFault::NoPermission;
#endif
        fail(fault, text);
    }
    try {
        apply(m_settings);
    } catch (const SerialError&) {
        m_serial.close();
        throw;
    }
}

void QtSerialControl::setPortOpen(bool open) {
    if (!open) {
        m_tcpOpen = false;
        m_tcp.abort();
        if (m_serial.isOpen()) m_serial.close();
        return;
    }
    if (portOpen()) fail(SerialFault::Other, tr("Port already open"));
    const QString& path = m_paths[static_cast<std::size_t>(m_port - 1)];
    if (isTcp(path)) openTcp(path);
    else openSerial(path);
    m_last = {};
    m_wireFree = {};
}

void QtSerialControl::output(std::string_view text) {
    QIODevice* d = device();
    if (!d) {
        // A closed port names the failure that closed it, when it was this port's.
        const std::string why = m_last.port == m_port ? m_last.text : std::string();
        SerialFailure f{m_port, path(), SerialFault::NotOpen, why};
        throw SerialError(f);
    }
    const qint64 n = d->write(text.data(), static_cast<qint64>(text.size()));
    // Start writing now rather than on the next turn of the event loop; a device that fails
    // during the hand-over is lost by now.
    if (n == static_cast<qint64>(text.size())) {
        if (m_tcpOpen) m_tcp.flush();
        else m_serial.flush();
    }
    if (!portOpen()) throw SerialError(m_last);
    if (n != static_cast<qint64>(text.size())) fail(SerialFault::Other, d->errorString());
    auto now = std::chrono::steady_clock::now();
    m_wireFree = std::max(now, m_wireFree) + wireTime(text.size(), m_settings);
}

std::size_t QtSerialControl::discardInput() {
    if (m_tcpOpen) return static_cast<std::size_t>(m_tcp.readAll().size());
    if (!m_serial.isOpen()) return 0;
    std::size_t n = static_cast<std::size_t>(m_serial.bytesAvailable());
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(m_serial.handle(), FIONREAD, &queued) == 0 && queued > 0) n += static_cast<std::size_t>(queued);
#endif
    m_serial.clear(QSerialPort::Input);
    m_serial.readAll();
    return n;
}

std::string QtSerialControl::input() {
    QIODevice* d = device();
    return d ? d->readAll().toStdString() : std::string();
}

bool QtSerialControl::outputBusy() const {
    if (!portOpen()) return false;
    return std::chrono::steady_clock::now() < m_wireFree || bytesWaiting();
}

bool QtSerialControl::bytesWaiting() const {
    if (!portOpen()) return false;
    if (m_tcpOpen) return m_tcp.bytesToWrite() > 0;
    if (m_serial.bytesToWrite() > 0) return true;
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(m_serial.handle(), TIOCOUTQ, &queued) == 0 && queued > 0) return true;
#endif
    return false;
}

void QtSerialControl::lost(const QString& text) {
    m_last = {m_port, path(), SerialFault::Disconnected, text.toStdString()};
    m_tcpOpen = false;
    m_tcp.abort();
    if (m_serial.isOpen()) m_serial.close();
    m_serial.clearError();
    // Told after whatever call into the control is running now has returned.
    QMetaObject::invokeMethod(this, [this] { raise(comEventLost); }, Qt::QueuedConnection);
}

void QtSerialControl::raise(int kind) {
    m_event = kind;
    if (m_onComm) m_onComm();
}

} // namespace tova
