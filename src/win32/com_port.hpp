// SPDX-License-Identifier: MIT
#pragma once
// A serial port of Windows (COM1, COM10, ...), opened as \\.\COMn. Reading never blocks the
// window's thread and never reads synchronously: a thread of the port's own keeps one overlapped
// read waiting, ended by a short pause in the bytes, and posts what it read; writes are
// overlapped and never waited for.
#include "link/link.hpp"
#include "win32/dispatcher.hpp"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <windows.h>

namespace tova::win32 {

class ComPort : public Link {
  public:
    ComPort(std::string name, Dispatcher& dispatcher);
    ~ComPort() override;
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    void setEvents(Events events) override { m_events = std::move(events); }
    std::optional<Fault> open(const LineSettings& settings) override;
    void openLater(const LineSettings& settings, std::function<void(std::optional<Fault>)> done) override;
    void close() override;
    bool isOpen() const override { return m_handle != INVALID_HANDLE_VALUE; }
    std::optional<Fault> apply(const LineSettings& settings) override;
    bool write(std::string_view bytes) override;
    std::string readAll() override;
    bool bytesWaiting() const override;
    std::size_t discardInput() override;
    std::string errorText() const override { return m_error; }
    std::string describe() const override { return m_name; }

  private:
    struct Write {
        OVERLAPPED overlapped{};
        std::string bytes;
    };
    void readLoop(HANDLE handle, HANDLE stop);
    void reapWrites(); // the writes that have finished; a failed one loses the device
    void lose(DWORD error);

    std::string m_name;
    Dispatcher& m_dispatcher;
    Events m_events;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    HANDLE m_stop = nullptr;
    std::thread m_reader;
    std::mutex m_mutex;       // the bytes read, shared with the reader
    std::string m_in;
    bool m_told = false;      // readable posted and not taken yet
    std::list<std::unique_ptr<Write>> m_writes; // on their way
    std::string m_error;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tova::win32
