// SPDX-License-Identifier: MIT
#include "sim_qt/pseudo_terminal.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <stdexcept>
#include <unistd.h>

namespace tova {

PseudoTerminal::PseudoTerminal() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        const std::string why = std::strerror(errno);
        hangUp();
        throw std::runtime_error("pseudo-terminal: " + why);
    }
    m_slavePath = ::ptsname(m_master);
    // Raw from the start, as a serial line is: a pseudo-terminal starts cooked, and a program
    // that opens it restores what it found when it closes, so between two runs the terminal
    // would echo the projector's late replies back to the projector as lines of its own.
    termios t{};
    if (::tcgetattr(m_master, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(m_master, TCSANOW, &t);
    }
}

PseudoTerminal::~PseudoTerminal() { hangUp(); }

void PseudoTerminal::hangUp() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
}

} // namespace tova
