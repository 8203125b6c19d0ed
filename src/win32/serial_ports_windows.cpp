// SPDX-License-Identifier: MIT
// The COM ports of a Windows system: the devices of the Ports class with their friendly names,
// and whatever else the system maps in HARDWARE\DEVICEMAP\SERIALCOMM (wine fills only that).
#include "core/serial_ports.hpp"
#include "win32/text.hpp"

#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>

namespace tova {
namespace {

// "COM5" as its number, for the order; 0 for a name of another form.
int comNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return 0;
    int n = 0;
    for (char c : name.substr(3)) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::wstring registryText(HKEY key, const wchar_t* value) {
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    return text;
}

// The Ports class's present devices: COM name -> friendly name without its "(COMn)".
void portsClass(std::map<std::string, std::string>& out) {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        const std::string port = win32::utf8(registryText(key, L"PortName"));
        RegCloseKey(key);
        if (!comNumber(port)) continue;
        wchar_t friendly[256] = {};
        std::string words;
        if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr, reinterpret_cast<BYTE*>(friendly),
                                              sizeof friendly - sizeof(wchar_t), nullptr))
            words = win32::utf8(friendly);
        if (const auto at = words.rfind(" (" + port + ")"); at != std::string::npos) words.erase(at);
        out[port] = words;
    }
    SetupDiDestroyDeviceInfoList(set);
}

// The names the system maps, whatever their device class.
void mapped(std::map<std::string, std::string>& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256], data[64];
        DWORD nameSize = 256, dataSize = sizeof data - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS)
            break;
        if (type != REG_SZ) continue;
        data[dataSize / sizeof(wchar_t)] = 0;
        const std::string port = win32::utf8(data);
        if (comNumber(port)) out.emplace(port, std::string());
    }
    RegCloseKey(key);
}

} // namespace

std::vector<SerialPortInfo> serialPorts() {
    std::map<std::string, std::string> found;
    portsClass(found);
    mapped(found);
    std::vector<SerialPortInfo> out;
    for (const auto& [port, words] : found) out.push_back({port, words});
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return comNumber(a.path) < comNumber(b.path); });
    return out;
}

} // namespace tova
