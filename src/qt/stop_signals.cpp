// SPDX-License-Identifier: MIT
#include "qt/stop_signals.hpp"

#include <QSocketNotifier>

#include <csignal>
#include <stdexcept>
#include <unistd.h>

namespace tova {
namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = ::write(g_pipe[1], &c, 1); // only this is safe in a handler
}

} // namespace

void ignoreWriteSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

struct StopSignals::Impl {
    std::unique_ptr<QSocketNotifier> notifier;
};

StopSignals::StopSignals(std::function<void()> onStop, QObject* parent)
    : QObject(parent), m_impl(std::make_unique<Impl>()) {
    if (g_pipe[0] < 0 && ::pipe(g_pipe) != 0) throw std::runtime_error("no pipe for the stop signals");
    m_impl->notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_impl->notifier.get(), &QSocketNotifier::activated, this, [onStop = std::move(onStop)] {
        char c;
        [[maybe_unused]] auto n = ::read(g_pipe[0], &c, 1);
        onStop();
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

StopSignals::~StopSignals() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

} // namespace tova
