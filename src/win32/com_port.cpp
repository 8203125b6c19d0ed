// SPDX-License-Identifier: MIT
#include "win32/com_port.hpp"

#include "win32/com_faults.hpp"
#include "win32/text.hpp"

#include <chrono>
#include <utility>

namespace tova::win32 {
namespace {

// One overlapped read at a time, on the heap: should a cancelled read never end (a broken
// driver), the reader leaves it here rather than have it write into a stack that is gone.
struct Read {
    OVERLAPPED overlapped{};
    char bytes[4096];
    Read() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Read() { CloseHandle(overlapped.hEvent); }
};

} // namespace

ComPort::ComPort(std::string name, Dispatcher& dispatcher) : m_name(std::move(name)), m_dispatcher(dispatcher) {}

ComPort::~ComPort() {
    m_events = {};
    close();
}

std::optional<Link::Fault> ComPort::open(const LineSettings& settings) {
    if (isOpen()) return std::nullopt;
    // Every port by its device name: COM10 and above are reached no other way.
    const std::wstring path = m_name.starts_with("\\\\") ? wide(m_name) : L"\\\\.\\" + wide(m_name);
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return Fault{openFault(e), systemText(e)};
    }
    // A name that leads to nothing behind it opens, and then has no state to tell.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        const DWORD e = GetLastError();
        CloseHandle(h);
        return Fault{SerialFault::NoDevice, systemText(e)};
    }
    m_handle = h;
    if (auto f = apply(settings)) {
        close();
        return f;
    }
    // A read ends 10 ms after the last byte came, and waits as long as none comes.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 10;
    SetCommTimeouts(h, &t);
    SetupComm(h, 4096, 4096);
    m_error.clear();
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_reader = std::thread([this, h, stop = m_stop] { readLoop(h, stop); });
    return std::nullopt;
}

void ComPort::openLater(const LineSettings& settings, std::function<void(std::optional<Fault>)> done) {
    // A serial port opens at once; its outcome is told from the loop all the same.
    m_dispatcher.post([this, alive = std::weak_ptr<bool>(m_alive), settings, done = std::move(done)] {
        if (alive.lock()) done(open(settings));
    });
}

std::optional<Link::Fault> ComPort::apply(const LineSettings& s) {
    if (!isOpen()) return std::nullopt;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(m_handle, &dcb); // what the last program left: every other field is set here
    dcb.BaudRate = static_cast<DWORD>(s.baud);
    dcb.ByteSize = static_cast<BYTE>(s.dataBits);
    dcb.Parity = s.parity == 'E' ? EVENPARITY : s.parity == 'O' ? ODDPARITY : s.parity == 'M' ? MARKPARITY
                                                : s.parity == 'S' ? SPACEPARITY : NOPARITY;
    dcb.StopBits = s.stopBits10 == 20 ? TWOSTOPBITS : s.stopBits10 == 15 ? ONE5STOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = s.parity != 'N';
    // No flow control and no control lines: a setting left on by another program can hang writes.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(m_handle, &dcb)) {
        const DWORD e = GetLastError();
        return Fault{deviceGone(e) ? SerialFault::Disconnected : SerialFault::Other, systemText(e)};
    }
    return std::nullopt;
}

void ComPort::readLoop(HANDLE h, HANDLE stop) {
    auto* read = new Read;
    const std::weak_ptr<bool> alive = m_alive; // copied here, read only on the window's thread
    int empty = 0;
    for (;;) {
        ResetEvent(read->overlapped.hEvent);
        DWORD n = 0, error = 0;
        if (!ReadFile(h, read->bytes, sizeof read->bytes, &n, &read->overlapped)) {
            error = GetLastError();
            if (error == ERROR_IO_PENDING) {
                const HANDLE both[2] = {read->overlapped.hEvent, stop};
                if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0) {
                    CancelIoEx(h, &read->overlapped);
                    // Should the cancel never end, the read is left where it can still complete.
                    if (WaitForSingleObject(read->overlapped.hEvent, 1000) == WAIT_OBJECT_0) delete read;
                    return;
                }
                error = GetOverlappedResult(h, &read->overlapped, &n, FALSE) ? 0 : GetLastError();
            }
        }
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) break;
        if (error) {
            m_dispatcher.post([this, alive, error] {
                if (alive.lock() && isOpen()) lose(error);
            });
            break;
        }
        if (n == 0) {
            // Nothing within the time-outs: read again, without spinning should they be short.
            if (++empty > 1 && WaitForSingleObject(stop, 10) == WAIT_OBJECT_0) break;
            continue;
        }
        empty = 0;
        std::lock_guard lock(m_mutex);
        m_in.append(read->bytes, n);
        if (!std::exchange(m_told, true))
            m_dispatcher.post([this, alive] {
                if (alive.lock() && m_events.readable) m_events.readable();
            });
    }
    delete read;
}

std::string ComPort::readAll() {
    std::lock_guard lock(m_mutex);
    m_told = false;
    return std::exchange(m_in, {});
}

bool ComPort::write(std::string_view bytes) {
    if (!isOpen()) return false;
    reapWrites();
    if (!isOpen()) return false;
    Write& w = *m_writes.emplace_back(std::make_unique<Write>());
    w.bytes.assign(bytes);
    w.overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    if (WriteFile(m_handle, w.bytes.data(), static_cast<DWORD>(w.bytes.size()), &n, &w.overlapped)) return true;
    const DWORD e = GetLastError();
    if (e == ERROR_IO_PENDING) return true; // on its way: the driver takes it as the line allows
    CloseHandle(w.overlapped.hEvent);
    m_writes.pop_back();
    if (deviceGone(e)) lose(e);
    else m_error = systemText(e);
    return false;
}

void ComPort::reapWrites() {
    DWORD failed = 0;
    for (auto it = m_writes.begin(); it != m_writes.end();) {
        if (!HasOverlappedIoCompleted(&(*it)->overlapped)) {
            ++it;
            continue;
        }
        DWORD n = 0;
        if (!GetOverlappedResult(m_handle, &(*it)->overlapped, &n, FALSE) && !failed) failed = GetLastError();
        CloseHandle((*it)->overlapped.hEvent);
        it = m_writes.erase(it);
    }
    if (failed && deviceGone(failed)) lose(failed);
}

bool ComPort::bytesWaiting() const {
    if (!isOpen()) return false;
    for (const auto& w : m_writes)
        if (!HasOverlappedIoCompleted(&w->overlapped)) return true;
    COMSTAT stat{};
    DWORD errors = 0;
    return ClearCommError(m_handle, &errors, &stat) && stat.cbOutQue > 0;
}

std::size_t ComPort::discardInput() {
    if (!isOpen()) return 0;
    COMSTAT stat{};
    DWORD errors = 0;
    std::size_t n = ClearCommError(m_handle, &errors, &stat) ? stat.cbInQue : 0;
    PurgeComm(m_handle, PURGE_RXCLEAR);
    std::lock_guard lock(m_mutex);
    n += m_in.size();
    m_in.clear();
    return n;
}

void ComPort::lose(DWORD error) {
    m_error = systemText(error);
    close();
    if (m_events.lost) m_events.lost(m_error);
}

void ComPort::close() {
    if (!isOpen()) return;
    SetEvent(m_stop);
    if (m_reader.joinable()) m_reader.join();
    for (auto& w : m_writes) {
        CancelIoEx(m_handle, &w->overlapped);
        // A write whose cancel never ends is left where it can still complete.
        if (WaitForSingleObject(w->overlapped.hEvent, 1000) == WAIT_OBJECT_0) CloseHandle(w->overlapped.hEvent);
        else (void)w.release();
    }
    m_writes.clear();
    CloseHandle(m_handle);
    CloseHandle(m_stop);
    m_handle = INVALID_HANDLE_VALUE;
    m_stop = nullptr;
    std::lock_guard lock(m_mutex);
    m_in.clear();
    m_told = false;
}

} // namespace tova::win32
