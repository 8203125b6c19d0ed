// SPDX-License-Identifier: MIT
#include "link/trace_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tova {
namespace {

const char* kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

[[noreturn]] void refuse(mode_t mode) {
    throw std::runtime_error(std::string("it is ") + kindOf(mode) + "; a trace is written to a regular file only");
}

} // namespace

struct TraceFile::Impl {
    int fd = -1;
};

TraceFile::TraceFile(const std::string& path) : m_impl(std::make_unique<Impl>()) {
    const char* p = path.c_str();
    struct stat st {};
    if (::stat(p, &st) == 0 && !S_ISREG(st.st_mode)) refuse(st.st_mode);
    // Opened without waiting, so that a FIFO put there meanwhile cannot hang the program.
    const int fd = ::open(p, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error(std::strerror(errno));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const mode_t mode = st.st_mode;
        ::close(fd);
        refuse(mode);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_impl->fd = fd;
}

TraceFile::~TraceFile() { ::close(m_impl->fd); }

std::optional<std::string> TraceFile::append(const std::string& line) {
    const int fd = m_impl->fd;
    const off_t before = ::lseek(fd, 0, SEEK_END);
    const ssize_t n = ::write(fd, line.data(), line.size());
    if (n == static_cast<ssize_t>(line.size())) return std::nullopt;
    std::string why = n < 0 ? std::strerror(errno) : "the file cannot grow (no space, or a size limit)";
    if (n > 0 && before >= 0 && ::ftruncate(fd, before) != 0) {
        // Nothing more can be done about a file that cannot even be cut back.
    }
    return why;
}

} // namespace tova
