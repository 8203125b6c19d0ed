// SPDX-License-Identifier: MIT
#pragma once
// Lines from standard input for tova-send --stdin on Windows, where the console and pipes have no
// readiness to wait on beside the loop: a thread of its own reads, and posts each line whole (past
// maxLine bytes cut to maxLine + 1, so that its taker sees it was too long), and the input's end
// once. Reading pauses while its taker is full.
#include "win32/dispatcher.hpp"

#include <mutex>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tova::win32 {

class StdinReader {
  public:
    struct Callbacks {
        std::function<void(std::string)> line{}; // a line without its LF
        std::function<void()> end{};
    };
    StdinReader(Dispatcher& dispatcher, std::size_t maxLine, Callbacks callbacks);
    ~StdinReader();
    StdinReader(const StdinReader&) = delete;
    StdinReader& operator=(const StdinReader&) = delete;
    void setPaused(bool paused);

  private:
    // What the reading thread shares with the reader, which may go before the thread does.
    struct Shared {
        std::mutex mutex;
        Dispatcher* dispatcher; // nullptr once the reader has gone
        Callbacks tell;
        HANDLE resume;          // set while reading goes on
        ~Shared() { CloseHandle(resume); }
    };
    static void read(std::shared_ptr<Shared> shared, std::size_t maxLine);
    std::shared_ptr<Shared> m_shared;
};

} // namespace tova::win32
