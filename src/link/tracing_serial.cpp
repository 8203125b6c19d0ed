// SPDX-License-Identifier: MIT
#include "link/tracing_serial.hpp"

#include "link/traffic.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace tova {

std::string traceLine(std::chrono::system_clock::time_point at, std::string_view what, std::string_view text) {
    // Local time to the millisecond, as a reader on the same computer compares it with a clock.
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count() % 1000;
    const std::tm local = *std::localtime(&seconds); // the one thread: no other caller meanwhile
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
    return std::string(stamp) + ' ' + std::string(what) + " \"" + std::string(text) + "\"\n";
}

TracingSerial::TracingSerial(SerialControl& inner, std::string path)
    : m_inner(inner), m_path(std::move(path)), m_file(std::make_unique<TraceFile>(m_path)) {}

TracingSerial::~TracingSerial() = default;

void TracingSerial::reopen() {
    // A rotated trace is written anew under its name; one that cannot be opened is told about.
    try {
        m_file = std::make_unique<TraceFile>(m_path);
        m_failed = false;
    } catch (const std::exception& e) {
        if (m_onFailure) m_onFailure("The trace " + m_path + " cannot be reopened: " + e.what());
    }
}

void TracingSerial::note(const char* what, const std::string& text) {
    if (m_failed) return;
    const std::string line = traceLine(std::chrono::system_clock::now(), what, text);
    // One write per line, straight to the file: a trace must survive a crash or a pulled plug.
    const auto why = m_file->append(line);
    if (!why) return;
    m_failed = true;
    m_failure = "The trace " + m_path + " stopped: " + *why +
                ". It keeps every line written before; the panel goes on without it.";
    if (m_onFailure) m_onFailure(m_failure);
}

void TracingSerial::setOnFailure(std::function<void(const std::string&)> tell) {
    m_onFailure = std::move(tell);
    if (m_failed && m_onFailure) m_onFailure(m_failure);
}

void TracingSerial::setSettings(const LineSettings& s) {
    m_inner.setSettings(s);
    note("SET", formatSettings(s));
}

void TracingSerial::setPortOpen(bool open) {
    const bool wasOpen = m_inner.portOpen();
    const std::string port =
        "COM" + std::to_string(m_inner.commPort()) + " " + m_inner.devicePath(m_inner.commPort());
    try {
        m_inner.setPortOpen(open);
    } catch (const SerialError& e) {
        note("ERR", e.what()); // names its port
        throw;
    }
    if (open) note("OPEN", port);
    else if (wasOpen) note("CLOSE", port); // a port that never opened is not closed either
}

void TracingSerial::output(std::string_view text) {
    try {
        m_inner.output(text);
    } catch (const SerialError& e) {
        note("ERR", e.what());
        throw;
    }
    m_lastSent = trafficText(text);
    note("TX", m_lastSent);
}


void TracingSerial::noteNoReply() { note("TIMEOUT", "no reply to" + m_lastSent); }

void TracingSerial::setEvents(SerialEvents events) {
    // Bytes are traced as their reader takes them; without a reader they wait unread.
    SerialEvents traced;
    if (events.received)
        traced.received = [this, received = std::move(events.received)](const std::string& bytes) {
            note("RX", trafficText(bytes));
            received(bytes);
        };
    traced.lost = [this, lost = std::move(events.lost)](const SerialFailure& f) {
        note("LOST", describe(f));
        if (lost) lost(f);
    };
    m_inner.setEvents(std::move(traced));
}

} // namespace tova
