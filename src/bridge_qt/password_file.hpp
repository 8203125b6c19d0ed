// SPDX-License-Identifier: MIT
#pragma once
#include "bridge/bridge_settings.hpp"

#include <QString>

#include <string>
#include <variant>

namespace tova {

// The password a file holds, or why it holds none. Only a regular file of at most 4 KB is
// read; a FIFO or a device is refused at once, never waited on.
std::variant<std::string, QString> readPasswordFile(const QString& path,
                                                    bridge::SecretLength length = bridge::kPjlinkPassword);

// Why path is no regular file of at most maxBytes to read, or empty when it is one.
QString notARegularFile(const QString& path, long maxBytes);

// Whether every user of the computer may read the file.
bool readableByAll(const QString& path);

} // namespace tova
