// SPDX-License-Identifier: MIT
#pragma once
// A symbolic link to the virtual projector's device, made at start and removed at the end if it
// still leads there. Only a symbolic link is ever replaced: a file or folder of that name is
// the user's and stays as it is.
#include <QString>

namespace tova {

class DeviceLink {
  public:
    // No link when path is empty.
    DeviceLink(QString path, QString target);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    // Why the link could not be made; empty when it was, or none was asked for.
    const QString& error() const { return m_error; }

  private:
    QString m_path, m_target, m_error;
};

} // namespace tova
