// SPDX-License-Identifier: MIT
#include "qt/pseudo_terminal.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
}

PseudoTerminal::~PseudoTerminal() { hangUp(); }

void PseudoTerminal::hangUp() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
}

} // namespace tova
