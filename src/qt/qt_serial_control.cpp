#include "qt/qt_serial_control.hpp"

#include <QMetaObject>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace tova {

QtSerialControl::QtSerialControl(QString com1, QString com2, QObject* parent)
    : QObject(parent), m_paths{std::move(com1), std::move(com2)} {
    connect(&m_serial, &QSerialPort::readyRead, this, [this] { raise(comEvReceive); });
    connect(&m_serial, &QSerialPort::errorOccurred, this, &QtSerialControl::onError);
}

QtSerialControl::~QtSerialControl() {
    m_onComm = nullptr;
    if (m_serial.isOpen()) m_serial.close();
}

QString QtSerialControl::defaultDevice(int port) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

std::string QtSerialControl::devicePath(int port) const {
    if (port < 1 || port > 2) return {};
    return m_paths[static_cast<std::size_t>(port - 1)].toStdString();
}

void QtSerialControl::fail(const QString& text) {
    m_error = text.toStdString();
    throw SerialError(m_error);
}

void QtSerialControl::setCommPort(int port) {
    if (m_serial.isOpen()) fail(tr("Port already open"));
    if (port < 1 || port > 2) fail(tr("Invalid port number %1").arg(port));
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
    if (!ok) fail(m_serial.errorString());
}

void QtSerialControl::setSettings(const std::string& text) {
    auto s = parseSettings(text);
    if (!s) fail(tr("Invalid settings: %1").arg(QString::fromStdString(text)));
    if (m_serial.isOpen()) apply(*s); // applied to the open port; it stays open
    m_settings = *s;
    m_settingsText = text;
}

void QtSerialControl::setPortOpen(bool open) {
    if (!open) {
        if (m_serial.isOpen()) m_serial.close();
        return;
    }
    if (m_serial.isOpen()) fail(tr("Port already open"));
    m_serial.setPortName(m_paths[static_cast<std::size_t>(m_port - 1)]);
    if (!m_serial.open(QIODevice::ReadWrite)) {
        QString text = m_serial.errorString();
        m_serial.clearError();
        fail(text);
    }
    try {
        apply(m_settings);
    } catch (const SerialError&) {
        m_serial.close();
        throw;
    }
    m_error.clear();
    m_wireFree = {};
}

void QtSerialControl::output(const std::string& text) {
    if (!m_serial.isOpen()) {
        QString why = m_error.empty() ? tr("The port is not open")
                                      : tr("The port is not open: %1").arg(QString::fromStdString(m_error));
        throw SerialError(why.toStdString());
    }
    qint64 n = m_serial.write(text.data(), static_cast<qint64>(text.size()));
    if (n != static_cast<qint64>(text.size())) fail(m_serial.errorString());
    // Start writing now rather than on the next turn of the event loop.
    m_serial.flush();
    auto now = std::chrono::steady_clock::now();
    m_wireFree = std::max(now, m_wireFree) + wireTime(text.size(), m_settings);
}

std::string QtSerialControl::input() {
    QByteArray in = m_serial.isOpen() ? m_serial.readAll() : QByteArray();
    return in.toStdString();
}

bool QtSerialControl::outputBusy() const {
    if (!m_serial.isOpen()) return false;
    if (std::chrono::steady_clock::now() < m_wireFree || m_serial.bytesToWrite() > 0) return true;
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(m_serial.handle(), TIOCOUTQ, &queued) == 0 && queued > 0) return true;
#endif
    return false;
}

void QtSerialControl::raise(int kind) {
    m_event = kind;
    if (m_onComm) m_onComm();
}

void QtSerialControl::onError(QSerialPort::SerialPortError e) {
    if (e == QSerialPort::NoError) return;
    // Read and resource errors repeat for ever on a vanished device: close at once.
    const bool lost = e == QSerialPort::ResourceError || e == QSerialPort::ReadError ||
                      e == QSerialPort::WriteError || e == QSerialPort::PermissionError;
    if (!lost || !m_serial.isOpen()) return;
    m_error = m_serial.errorString().toStdString();
    m_serial.close();
    m_serial.clearError();
    raise(comEventLost);
}

} // namespace tova
