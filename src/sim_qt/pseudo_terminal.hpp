// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal's master side: the far end of a line whose slave side is opened like a
// serial port. Used by the virtual projector, the tests and the benchmarks.
#include <string>

namespace tova {

class PseudoTerminal {
  public:
    // Opens a master in raw, non-blocking mode; throws std::runtime_error with the system's text.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }
    // Closes the master: the slave side sees a hang-up.
    void hangUp();

  private:
    int m_master = -1;
    std::string m_slavePath;
};

} // namespace tova
