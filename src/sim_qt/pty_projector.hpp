// SPDX-License-Identifier: MIT
#pragma once
// The virtual projector on a pseudo-terminal: the panel opens the slave side like a serial
// port. POSIX only.
#include "sim_qt/pseudo_terminal.hpp"
#include "sim_qt/projector_endpoint.hpp"

#include <QSocketNotifier>

#include <memory>

namespace tova {

class PtyProjector : public ProjectorEndpoint {
    Q_OBJECT
  public:
    // Throws std::runtime_error when no pseudo-terminal can be had.
    explicit PtyProjector(sim::ProjectorLine::Options options, ProjectorLog log = {}, QObject* parent = nullptr);
    ~PtyProjector() override;
    QString devicePath() const { return QString::fromStdString(m_pty.slavePath()); }

  protected:
    qint64 send(const char* data, qint64 n) override;
    int lineBaud() const override; // as the panel has set its side

  private:
    PseudoTerminal m_pty;
    int m_slave = -1; // kept open so that the master never sees a hang-up between the panel's opens
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tova
