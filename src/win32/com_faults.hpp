// SPDX-License-Identifier: MIT
#pragma once
// What a Windows error code means for a serial port, by the operation that met it: the same
// kinds of failure as on Linux.
#include "core/serial_control.hpp"

#include <windows.h>

namespace tova::win32 {

// CreateFile on \\.\COMn.
inline SerialFault openFault(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return SerialFault::NoDevice;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return SerialFault::InUse;
    default: return SerialFault::Other;
    }
}

// A read, a write or a query of an open port: an unplugged USB adapter reports any of these.
inline bool deviceGone(DWORD error) {
    switch (error) {
    case ERROR_BROKEN_PIPE:        // 109
    case ERROR_NOT_READY:          // 21
    case ERROR_BAD_COMMAND:        // 22
    case ERROR_GEN_FAILURE:        // 31
    case ERROR_ACCESS_DENIED:      // 5
    case ERROR_OPERATION_ABORTED:  // 995
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_INVALID_HANDLE: return true;
    default: return false;
    }
}

} // namespace tova::win32
