#include "qt/pty_projector.hpp"

#include "core/settings.hpp"
#include "link/traffic.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace tova {

namespace {

int baudOf(speed_t s) {
    switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

QString printable(const std::string& bytes) { return QString::fromStdString(trafficText(bytes)); }

} // namespace

PtyProjector::PtyProjector(sim::ProjectorLine::Options options, QObject* parent)
    : QObject(parent), m_line(options) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    speed_t speed = options.baud == 9600 ? B9600 : B19200;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    ::tcsetattr(m_slave, TCSANOW, &t);

    m_clock.start();
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PtyProjector::onReadable);
    m_pump.setSingleShot(true);
    m_pump.setTimerType(Qt::PreciseTimer);
    connect(&m_pump, &QTimer::timeout, this, &PtyProjector::pump);
}

PtyProjector::~PtyProjector() {
    m_notifier.reset();
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

int PtyProjector::lineBaud() const {
    termios t{};
    if (::tcgetattr(m_slave, &t) != 0) return m_line.baud();
    int b = baudOf(::cfgetospeed(&t));
    return b ? b : m_line.baud();
}

void PtyProjector::onReadable() {
    char buf[4096];
    ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n <= 0) return;
    const int baud = lineBaud();
    for (auto& out : m_line.receive(std::string_view(buf, static_cast<std::size_t>(n)), baud, now())) {
        std::string bytes = m_line.toPanel(out.bytes, baud);
        QTimer::singleShot(std::max<qint64>(0, (out.at - now()).count()), Qt::PreciseTimer, this,
                           [this, bytes, shown = out.bytes] {
                               if (log) log(QStringLiteral("reply:%1").arg(printable(shown)));
                               m_out += bytes;
                               pump();
                           });
    }
    if (log)
        for (const auto& l : m_line.takeLog()) log(QStringLiteral("line: %1").arg(printable(l)));
}

void PtyProjector::pump() {
    // Bytes leave at the line rate: 10 bits a character at the speed the line is set to.
    const qint64 charUs = wireTime(1, LineSettings{lineBaud()}).count();
    qint64 nowUs = m_clock.nsecsElapsed() / 1000;
    if (m_nextCharUs < nowUs) m_nextCharUs = nowUs;
    std::size_t due = 0;
    while (due < m_out.size() && m_nextCharUs + static_cast<qint64>(due) * charUs <= nowUs) ++due;
    if (due > 0) {
        ssize_t n = ::write(m_master, m_out.data(), due);
        if (n > 0) {
            m_out.erase(0, static_cast<std::size_t>(n));
            m_nextCharUs += n * charUs;
        }
    }
    if (!m_out.empty())
        m_pump.start(static_cast<int>(std::max<qint64>(1, (m_nextCharUs - nowUs) / 1000)));
}

} // namespace tova
