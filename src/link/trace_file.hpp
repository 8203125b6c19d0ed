// SPDX-License-Identifier: MIT
#pragma once
// The file a trace is appended to, in whole lines only: each line goes out in one write, and
// one that does not go out whole is cut back off. One file per system (_posix, _windows).
#include <memory>
#include <optional>
#include <string>

namespace tova {

class TraceFile {
  public:
    // Opens path for appending, creating it; it must be a regular file. Throws
    // std::runtime_error saying why not. On POSIX a FIFO, a device or a folder is refused at
    // once, never waited on.
    explicit TraceFile(const std::string& path);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Appends line whole, or not at all: why not.
    std::optional<std::string> append(const std::string& line);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tova
