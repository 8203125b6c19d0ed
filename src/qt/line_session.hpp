// SPDX-License-Identifier: MIT
#pragma once
// One exchange after another on a line, for a program that waits for each reply: the line out,
// its reply by the reply rule, bounded waits, and nothing of one code's reply read as another's.
#include "link/reply_rule.hpp"
#include "qt/qt_serial_control.hpp"

#include <QElapsedTimer>
#include <QEventLoop>

#include <functional>
#include <string>

namespace tova {

class LineSession {
  public:
    // The line must be open; note receives what --verbose tells.
    LineSession(QtSerialControl& serial, std::function<void(const std::string&)> note = {});

    struct Outcome {
        enum What { Replied, TimedOut, DeviceFailed } what = TimedOut;
        Reply reply;       // kind and length, when it replied
        std::string bytes; // the reply's bytes (capped)
        qint64 ms = 0;     // from the hand-over to the reply
        std::string failure; // the device's failure, described
    };

    // Drops whatever waits now (a late reply to an earlier line); returns the count.
    std::size_t discardWaiting();
    // Drops what arrives until the line has been quiet for quietMs (at most limitMs in all).
    std::size_t discardUntilQuiet(int quietMs, int limitMs);
    // Hands the line over and waits, at most timeoutMs, for the bytes to leave and then for
    // the reply (unless awaitReply is false).
    Outcome exchange(std::string_view line, int timeoutMs, bool awaitReply);

  private:
    bool waitUntil(const std::function<bool()>& done, int ms);
    std::string take(); // what has arrived, at most the cap
    QtSerialControl& m_serial;
    std::function<void(const std::string&)> m_note;
    std::string m_in;     // received and not yet taken, capped
    std::size_t m_dropped = 0; // received beyond the cap
    bool m_lost = false;
    std::function<bool()> m_waitingFor; // what the running wait ends at
    QEventLoop* m_wait = nullptr;
};

} // namespace tova
