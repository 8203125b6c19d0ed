// SPDX-License-Identifier: MIT
// On Windows a trace is a file opened for appending only, unbuffered: each line is one write
// to the system, at the end of the file whatever else writes there.
#include "link/trace_file.hpp"

#include <stdexcept>
#include <string>

#include <windows.h>

namespace tova {
namespace {

std::wstring wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string errorText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring w = text ? text : L"";
    LocalFree(text);
    while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r' || w.back() == L'.')) w.pop_back();
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s.empty() ? "error " + std::to_string(code) : s;
}

} // namespace

struct TraceFile::Impl {
    HANDLE file = INVALID_HANDLE_VALUE;
};

TraceFile::TraceFile(const std::string& path) : m_impl(std::make_unique<Impl>()) {
    const std::wstring name = wide(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw std::runtime_error("it is a folder; a trace is written to a regular file only");
    // FILE_APPEND_DATA alone: every write goes to the end, never over what is there.
    const HANDLE h = CreateFileW(name.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                 FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error(errorText(GetLastError()));
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        throw std::runtime_error("it is no regular file; a trace is written to a regular file only");
    }
    m_impl->file = h;
}

TraceFile::~TraceFile() { CloseHandle(m_impl->file); }

std::optional<std::string> TraceFile::append(const std::string& line) {
    DWORD written = 0;
    const BOOL ok = WriteFile(m_impl->file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    if (ok && written == line.size()) return std::nullopt;
    // A line that went out in part cannot be taken back from an append-only handle; what is
    // wrong is told, and the trace stops there.
    return ok ? std::string("the file cannot grow (no space, or a size limit)") : errorText(GetLastError());
}

} // namespace tova
