// SPDX-License-Identifier: MIT
// Windows has no signals to stop a program by: a console control handler hears Ctrl+C, Ctrl+Break,
// the console closing, log-off and shutdown. It runs on a thread of its own, so it only posts to
// the event loop. Nothing reloads on Windows (there is no SIGHUP).
#include "qt/stop_signals.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <windows.h>

namespace tova {
namespace {

QPointer<StopSignals> g_current;
std::function<void()> g_onStop;

BOOL WINAPI onControl(DWORD) {
    if (!g_current) return FALSE;
    QMetaObject::invokeMethod(g_current.data(), [] { if (g_onStop) g_onStop(); }, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

void ignoreWriteSignals() {} // a write to a closed pipe fails with an error here, never a signal

void guardStandardDescriptors() {} // a closed standard handle stays closed; files never take it

long raiseOpenFileLimit() { return -1; } // sockets are handles, not bounded by a descriptor table

struct StopSignals::Impl {};

StopSignals::StopSignals(std::function<void()> onStop, std::function<void()>, QObject* parent)
    : QObject(parent), m_impl(std::make_unique<Impl>()) {
    g_onStop = std::move(onStop);
    g_current = this;
    SetConsoleCtrlHandler(onControl, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(onControl, FALSE);
    g_current = nullptr;
    g_onStop = nullptr;
}

} // namespace tova
