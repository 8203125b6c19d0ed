// SPDX-License-Identifier: MIT
#include "panel_qt/demo_projectors.hpp"

namespace tova {

DemoProjectors::DemoProjectors(std::string& com1Path, std::string& com2Path) {
    // Where there are no pseudo-terminals, loopback TCP ports stand in for them.
#ifdef Q_OS_UNIX
    const std::optional<HostPort> local;
#else
    const std::optional<HostPort> local = HostPort{"127.0.0.1", 0};
#endif
    sim::ProjectorLine::Options o;
    o.timings = sim::fastTimings();
    QString where;
    com1 = startProjector(o, local, where);
    com1Path = where.toStdString();
    com2 = startProjector(o, local, where);
    com2Path = where.toStdString();
}

} // namespace tova
