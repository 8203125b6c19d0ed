// SPDX-License-Identifier: MIT
#include "win32/program_output.hpp"

#include "win32/text.hpp"

#include <windows.h>

#include <shellapi.h>

namespace tova::win32 {
namespace {

// A handle that leads somewhere: a file, a pipe, or the console of the one who started us.
HANDLE stream(DWORD which) {
    HANDLE h = GetStdHandle(which);
    if (h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN) return h;
    static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (!attached) return nullptr;
    h = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool say(DWORD which, const std::string& text) {
    const HANDLE h = stream(which);
    if (!h) return false;
    DWORD mode = 0;
    if (GetConsoleMode(h, &mode)) { // a console shows the characters, whatever its code page
        const std::wstring w = wide(text);
        DWORD n = 0;
        return WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &n, nullptr) != 0;
    }
    DWORD n = 0; // a file or a pipe takes the UTF-8 bytes
    return WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) != 0;
}

} // namespace

std::vector<std::string> programArguments() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(utf8(argv[i]));
    LocalFree(argv);
    return args;
}

int finish(const cli::Outcome& outcome) {
    if (!say(outcome.toStdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, outcome.message))
        MessageBoxW(nullptr, wide(outcome.message).c_str(), L"tova-control",
                    MB_OK | (outcome.exitCode == 0 ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
    return outcome.exitCode;
}

void notice(const std::string& text) { say(STD_ERROR_HANDLE, text); }

} // namespace tova::win32
