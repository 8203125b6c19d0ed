#include "qt/tracing_serial.hpp"

#include "link/traffic.hpp"

#include <QDateTime>

namespace tova {

TracingSerial::TracingSerial(SerialControl& inner, const QString& path)
    : m_inner(inner), m_file(path) {
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        throw std::runtime_error(m_file.errorString().toStdString());
}

void TracingSerial::note(const char* what, const std::string& text) {
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    m_file.write(stamp + ' ' + what + " \"" + QByteArray::fromStdString(text) + "\"\n");
    m_file.flush(); // a trace must survive a crash or a pulled plug
}

void TracingSerial::setSettings(const LineSettings& s) {
    m_inner.setSettings(s);
    note("SET", formatSettings(s));
}

void TracingSerial::setPortOpen(bool open) {
    const std::string port =
        "COM" + std::to_string(m_inner.commPort()) + " " + m_inner.devicePath(m_inner.commPort());
    try {
        m_inner.setPortOpen(open);
    } catch (const SerialError& e) {
        note("ERR", e.what()); // names its port
        throw;
    }
    note(open ? "OPEN" : "CLOSE", port);
}

void TracingSerial::output(std::string_view text) {
    try {
        m_inner.output(text);
    } catch (const SerialError& e) {
        note("ERR", e.what());
        throw;
    }
    note("TX", trafficText(text));
}

std::string TracingSerial::input() {
    std::string in = m_inner.input();
    if (!in.empty()) note("RX", trafficText(in));
    return in;
}

void TracingSerial::setOnComm(std::function<void()> handler) {
    m_inner.setOnComm([this, handler = std::move(handler)] {
        if (m_inner.commEvent() == comEventLost) note("LOST", describe(m_inner.lastFailure()));
        if (handler) handler();
    });
}

} // namespace tova
