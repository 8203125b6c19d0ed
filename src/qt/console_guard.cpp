// SPDX-License-Identifier: MIT
#include "qt/console_guard.hpp"

#ifdef _WIN32
namespace tova {

// Windows never makes a COM port its console: there is nothing to guard, and nothing is looked for.
std::vector<std::string> activeConsoles(const std::string&) { return {}; }
std::string consoleBehind(const std::string&, const std::vector<std::string>&) { return {}; }

} // namespace tova
#else
#include <fstream>
#include <sys/stat.h>

namespace tova {
namespace {

std::vector<std::string> words(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool characterDevice(const std::string& path, dev_t& rdev) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    rdev = st.st_rdev;
    return true;
}

} // namespace

std::vector<std::string> activeConsoles(const std::string& sysRoot) {
    std::vector<std::string> out;
    for (std::string name : words(sysRoot + "/class/tty/console/active")) {
        if (name == "tty0")
            for (const auto& vt : words(sysRoot + "/class/tty/tty0/active")) out.push_back("/dev/" + vt);
        out.push_back("/dev/" + name);
    }
    return out;
}

std::string consoleBehind(const std::string& devicePath, const std::vector<std::string>& consoles) {
    dev_t device = 0;
    if (!characterDevice(devicePath, device)) return {};
    for (const auto& c : consoles) {
        dev_t console = 0;
        if (characterDevice(c, console) && console == device) return c;
    }
    return {};
}

} // namespace tova
#endif
