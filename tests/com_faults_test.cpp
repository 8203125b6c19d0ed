// SPDX-License-Identifier: MIT
// What a Windows error means for a serial port, by the operation that met it (Windows only).
#include "win32/com_faults.hpp"

#include <gtest/gtest.h>

using namespace tova;
using namespace tova::win32;

TEST(ComFaults, OpeningAndAnOpenPort) {
    struct Case {
        DWORD error;
        SerialFault atOpen;
        bool gone; // on an open port
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, SerialFault::NoDevice, false}, // COM9 of nothing
        {ERROR_PATH_NOT_FOUND, SerialFault::NoDevice, false},
        {ERROR_ACCESS_DENIED, SerialFault::InUse, true},      // held by another program; an adapter gone
        {ERROR_SHARING_VIOLATION, SerialFault::InUse, false},
        {ERROR_BROKEN_PIPE, SerialFault::Other, true},        // the far end gone
        {ERROR_NOT_READY, SerialFault::Other, true},
        {ERROR_BAD_COMMAND, SerialFault::Other, true},
        {ERROR_GEN_FAILURE, SerialFault::Other, true},
        {ERROR_OPERATION_ABORTED, SerialFault::Other, true},
        {ERROR_INVALID_PARAMETER, SerialFault::Other, false}, // a setting refused: the port stays
        {ERROR_IO_PENDING, SerialFault::Other, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(openFault(c.error), c.atOpen) << c.error;
        EXPECT_EQ(deviceGone(c.error), c.gone) << c.error;
    }
}
