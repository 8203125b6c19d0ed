#pragma once
// The virtual projector on a pseudo-terminal: the panel opens the slave side like a serial port.
#include "sim/projector.hpp"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace tova {

class PtyProjector : public QObject {
    Q_OBJECT
  public:
    // Throws std::runtime_error when no pseudo-terminal can be had.
    explicit PtyProjector(sim::ProjectorLine::Options options, QObject* parent = nullptr);
    ~PtyProjector() override;

    QString devicePath() const { return m_slavePath; }
    sim::ProjectorLine& model() { return m_line; }
    // Each line received and each reply sent, for a log.
    std::function<void(const QString&)> log;

  private:
    void onReadable();
    void pump();
    int lineBaud() const;
    sim::Ms now() const { return sim::Ms(m_clock.elapsed()); }

    sim::ProjectorLine m_line;
    int m_master = -1;
    int m_slave = -1; // kept open so that the master never sees a hang-up between the panel's opens
    QString m_slavePath;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QElapsedTimer m_clock;
    QTimer m_pump;
    std::string m_out;          // bytes waiting for the wire
    qint64 m_nextCharUs = 0;    // when the next byte may go
};

} // namespace tova
