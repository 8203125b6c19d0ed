// SPDX-License-Identifier: MIT
#include "panel_win32/kept_devices.hpp"

#include "win32/text.hpp"
#include "win32/win32_serial_control.hpp"

#include <windows.h>

namespace tova::win32 {
namespace {

constexpr wchar_t kKey[] = L"Software\\tova-control\\tova-control";

std::optional<std::string> value(HKEY key, const wchar_t* name) {
    DWORD bytes = 0;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) return std::nullopt;
    std::wstring w(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, w.data(), &bytes) != ERROR_SUCCESS) return std::nullopt;
    w.resize(wcsnlen(w.c_str(), w.size()));
    return utf8(w);
}

} // namespace

std::string KeptDevices::where() const { return "the registry key HKEY_CURRENT_USER\\" + utf8(kKey); }

std::optional<DeviceStore::Kept> KeptDevices::read() {
    HKEY key = nullptr;
    const LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return Kept{}; // nothing kept yet
    if (opened != ERROR_SUCCESS) return std::nullopt;
    Kept k{value(key, L"com1"), value(key, L"com2")};
    RegCloseKey(key);
    return k;
}

bool KeptDevices::write(const Kept& given) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (auto [name, device] : {std::pair{L"com1", given.com1}, std::pair{L"com2", given.com2}}) {
        if (!device) continue;
        const std::wstring w = wide(*device);
        ok = ok && RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                                  static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

PanelSystem win32PanelSystem() {
    return {Win32SerialControl::defaultDevice(1), Win32SerialControl::defaultDevice(2), {},
            "HKEY_CURRENT_USER\\Software\\tova-control\\tova-control"};
}

} // namespace tova::win32
