// SPDX-License-Identifier: MIT
// tova-control.exe: the operator panel in native Win32.
#include "panel_win32/win32_platform.hpp"
#include "win32/program_output.hpp"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tova::win32::Win32Platform platform;
    return tova::runPanel(tova::win32::programArguments(), platform);
}
