// SPDX-License-Identifier: MIT
#include "qt/qt_serial_control.hpp"

namespace tova {

QtSerialControl::QtSerialControl(QString com1, QString com2, QObject* parent) : QObject(parent) {
    const QString names[] = {com1, com2};
    for (std::size_t i = 0; i < m_links.size(); ++i) {
        m_links[i] = makeTransport(names[i], m_consoles);
        Transport* t = m_links[i].get();
        connect(t, &Transport::readyRead, this, [this, t] {
            if (t == &link()) tellReceived();
        });
        connect(t, &Transport::lost, this, [this, t](const QString& why) {
            if (t == &link()) lost(why);
        });
    }
}

QtSerialControl::~QtSerialControl() {
    m_events = {};
    for (auto& l : m_links) l->close();
}

QString QtSerialControl::defaultDevice(int port) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    // USB adapters: the built-in first port is often the system console.
    return QStringLiteral("/dev/ttyUSB%1").arg(port - 1);
#endif
}

std::string QtSerialControl::devicePath(int port) const {
    if (port < 1 || port > 2) return {};
    return m_links[static_cast<std::size_t>(port - 1)]->describe();
}

void QtSerialControl::fail(SerialFault fault, const QString& text) {
    m_last = {m_port, path(), fault, text.toStdString()};
    throw SerialError(m_last);
}

void QtSerialControl::setCommPort(int port) {
    if (portOpen()) fail(SerialFault::Other, tr("Port already open"));
    if (port < 1 || port > 2) fail(SerialFault::Other, tr("Invalid port number %1").arg(port));
    m_port = port;
}

void QtSerialControl::setSettings(const LineSettings& s) {
    // Applied to an open port, which stays open; a closed one keeps them for its next open.
    if (auto f = link().apply(s)) fail(f->kind, f->text);
    m_settings = s;
}

void QtSerialControl::setPortOpen(bool open) {
    if (!open) {
        link().close();
        return;
    }
    if (portOpen()) fail(SerialFault::Other, tr("Port already open"));
    if (auto f = link().open(m_settings)) fail(f->kind, f->text);
    m_last = {};
    m_wireFree = {};
}

void QtSerialControl::openPort(std::function<void(const SerialError* failed)> done) {
    if (portOpen()) {
        const SerialError e({m_port, path(), SerialFault::Other, tr("Port already open").toStdString()});
        return done(&e);
    }
    const int port = m_port;
    link().openLater(m_settings, [this, port, done = std::move(done)](std::optional<Transport::Fault> f) {
        if (f) {
            m_last = {port, path(), f->kind, f->text.toStdString()};
            const SerialError e(m_last);
            return done(&e);
        }
        m_last = {};
        m_wireFree = {};
        done(nullptr);
    });
}

void QtSerialControl::output(std::string_view text) {
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
    auto now = std::chrono::steady_clock::now();
    m_wireFree = std::max(now, m_wireFree) + wireTime(text.size(), m_settings);
}

std::size_t QtSerialControl::discardInput() { return portOpen() ? link().discardInput() : 0; }

bool QtSerialControl::outputBusy() const {
    if (!portOpen()) return false;
    return std::chrono::steady_clock::now() < m_wireFree || link().bytesWaiting();
}

void QtSerialControl::lost(const QString& text) {
    m_last = {m_port, path(), SerialFault::Disconnected, text.toStdString()};
    link().close();
    // Told after whatever call into the control is running now has returned.
    QMetaObject::invokeMethod(
        this, [this] {
            if (m_events.lost) m_events.lost(m_last);
        },
        Qt::QueuedConnection);
}

void QtSerialControl::tellReceived() {
    // Without a reader the bytes wait in the link, as they would in a driver's queue.
    if (!m_events.received || !portOpen()) return;
    const std::string bytes = link().readAll();
    if (!bytes.empty()) m_events.received(bytes);
}

} // namespace tova
