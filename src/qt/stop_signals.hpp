// SPDX-License-Identifier: MIT
#pragma once
// How a program is told to stop or to read its files again, and what a program of ours sets up
// about its process before anything else.
#include <QObject>

#include <functional>
#include <memory>

namespace tova {

// A write to a reader that has gone, or to a file over its size limit, fails and is told about;
// it never ends the program.
void ignoreWriteSignals();

// Standard input, output and error closed at start are opened on /dev/null first: the first
// file the program opens never becomes one of them (a trace would take the log).
void guardStandardDescriptors();

// Raises the limit of open files as far as the system allows; the limit in force after.
long raiseOpenFileLimit();

// Runs onStop on the event loop when the program is asked to stop (SIGINT or SIGTERM), and
// onReload when it is asked to read its files again (SIGHUP; without onReload SIGHUP stops it
// too). Made before anything is announced: a caller may stop us right after.
class StopSignals : public QObject {
  public:
    explicit StopSignals(std::function<void()> onStop, std::function<void()> onReload = {},
                         QObject* parent = nullptr);
    ~StopSignals() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tova
