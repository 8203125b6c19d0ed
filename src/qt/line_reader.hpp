// SPDX-License-Identifier: MIT
#pragma once
// Lines from a descriptor (standard input), as they come, without blocking the event loop: each
// line is handed over whole, or, past maxLine bytes, cut to maxLine + 1 so that its taker sees it
// was too long; the end of the input is told once. Reading pauses while its taker is full.
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <string>

namespace tova {

class LineReader {
  public:
    struct Callbacks {
        std::function<void(std::string)> line{}; // a line without its LF
        std::function<void()> end{};
    };
    LineReader(int fd, std::size_t maxLine, Callbacks callbacks);
    void setPaused(bool paused);

  private:
    void readSome();
    Callbacks m_tell;
    int m_fd;
    std::size_t m_max;
    std::string m_partial;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tova
