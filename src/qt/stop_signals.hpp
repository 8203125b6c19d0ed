// SPDX-License-Identifier: MIT
#pragma once
// How a program is told to stop, and the signals a program of ours never dies of.
#include <QObject>

#include <functional>
#include <memory>

namespace tova {

// A write to a reader that has gone, or to a file over its size limit, fails and is told about;
// it never ends the program.
void ignoreWriteSignals();

// Runs onStop on the event loop when the program is asked to stop (SIGINT or SIGTERM). Made
// before anything is announced: a caller may stop us right after.
class StopSignals : public QObject {
    Q_OBJECT
  public:
    explicit StopSignals(std::function<void()> onStop, QObject* parent = nullptr);
    ~StopSignals() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tova
