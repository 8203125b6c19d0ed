// SPDX-License-Identifier: MIT
#include "qt/stop_signals.hpp"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

namespace tova {
namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int signal) {
    const char c = signal == SIGHUP ? 'h' : 's';
    [[maybe_unused]] auto n = ::write(g_pipe[1], &c, 1); // only this is safe in a handler
}

} // namespace

void ignoreWriteSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

void guardStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0) {
            const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (null >= 0 && null != fd) {
                ::dup2(null, fd);
                ::close(null);
            }
        }
}

long raiseOpenFileLimit() {
    rlimit r{};
    if (::getrlimit(RLIMIT_NOFILE, &r) != 0) return -1;
    if (r.rlim_cur < r.rlim_max) {
        rlimit raised = r;
        raised.rlim_cur = r.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) r = raised;
    }
    return r.rlim_cur == RLIM_INFINITY ? -1 : static_cast<long>(r.rlim_cur);
}

struct StopSignals::Impl {
    std::unique_ptr<QSocketNotifier> notifier;
};

StopSignals::StopSignals(std::function<void()> onStop, std::function<void()> onReload, QObject* parent)
    : QObject(parent), m_impl(std::make_unique<Impl>()) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("no pipe for the stop signals");
    m_impl->notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_impl->notifier.get(), &QSocketNotifier::activated, this,
            [onStop = std::move(onStop), onReload = std::move(onReload)] {
                char c;
                while (::read(g_pipe[0], &c, 1) == 1) {
                    if (c == 'h' && onReload) onReload();
                    else onStop();
                }
            });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
}

StopSignals::~StopSignals() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
}

} // namespace tova
