// SPDX-License-Identifier: MIT
#include "win32/stdin_reader.hpp"

#include <utility>

namespace tova::win32 {

StdinReader::StdinReader(Dispatcher& dispatcher, std::size_t maxLine, Callbacks callbacks)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->dispatcher = &dispatcher;
    m_shared->tell = std::move(callbacks);
    m_shared->resume = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    // A console read cannot be called off: the thread ends with the input, or with the program.
    std::thread(read, m_shared, maxLine).detach();
}

StdinReader::~StdinReader() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->dispatcher = nullptr;
    SetEvent(m_shared->resume);
}

void StdinReader::setPaused(bool paused) { paused ? ResetEvent(m_shared->resume) : SetEvent(m_shared->resume); }

void StdinReader::read(std::shared_ptr<Shared> shared, std::size_t maxLine) {
    auto post = [&shared](std::function<void(const Callbacks&)> f) {
        std::lock_guard lock(shared->mutex);
        if (!shared->dispatcher) return false;
        shared->dispatcher->post([shared, f = std::move(f)] {
            if (shared->dispatcher) f(shared->tell); // on the reader's thread: no lock needed
        });
        return true;
    };
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string partial;
    char buf[4096];
    for (;;) {
        WaitForSingleObject(shared->resume, INFINITE);
        DWORD n = 0;
        if (!ReadFile(in, buf, sizeof buf, &n, nullptr) || n == 0) break; // the end, or a pipe closed
        for (DWORD i = 0; i < n; ++i) {
            if (buf[i] == '\n') {
                const bool taken = post([line = std::exchange(partial, {})](const Callbacks& c) {
                    if (c.line) c.line(line);
                });
                if (!taken) return;
            } else if (partial.size() <= maxLine) { // one byte past the limit tells the taker
                partial.push_back(buf[i]);
            }
        }
    }
    post([line = std::move(partial)](const Callbacks& c) {
        if (!line.empty() && c.line) c.line(line);
        if (c.end) c.end();
    });
}

} // namespace tova::win32
