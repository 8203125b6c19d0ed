// SPDX-License-Identifier: MIT
// On Windows a trace is a QFile in append mode, unbuffered: each line is one write to the system.
#include "qt/trace_file.hpp"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace tova {

struct TraceFile::Impl {
    QFile file;
};

TraceFile::TraceFile(const QString& path) : m_impl(std::make_unique<Impl>()) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw std::runtime_error(std::string(info.isDir() ? "it is a folder" : "it is no regular file") +
                                 "; a trace is written to a regular file only");
    m_impl->file.setFileName(path);
    if (!m_impl->file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw std::runtime_error(m_impl->file.errorString().toStdString());
}

TraceFile::~TraceFile() = default;

std::optional<std::string> TraceFile::append(const std::string& line) {
    QFile& f = m_impl->file;
    const qint64 before = f.size();
    const qint64 n = f.write(line.data(), static_cast<qint64>(line.size()));
    if (n == static_cast<qint64>(line.size())) return std::nullopt;
    std::string why = n < 0 ? f.errorString().toStdString() : "the file cannot grow (no space, or a size limit)";
    if (n > 0) f.resize(before);
    return why;
}

} // namespace tova
