#include "link/traffic.hpp"

namespace tova {

std::string frameLine(std::string_view addressPrefix, std::string_view code) {
    std::string line;
    line.reserve(addressPrefix.size() + code.size() + 1);
    line.append(addressPrefix).append(code).push_back(kCR);
    return line;
}

std::string_view trafficToken(unsigned char c, char (&scratch)[3]) {
    // The order of the tests matters: 20 and the named controls come before "below 32".
    if (c == 6) return "ACK ";
    if (c == 20) return "&";
    if (c == 13) return "CR ";
    if (c == 10) return "LF ";
    if (c < 32 || c > 122) return "? ";
    scratch[0] = static_cast<char>(c);
    scratch[1] = ' ';
    return {scratch, 2};
}

std::string trafficText(std::string_view text) {
    std::string out(1, ' ');
    out.reserve(1 + 2 * text.size());
    char scratch[3];
    for (unsigned char c : text) out.append(trafficToken(c, scratch));
    return out;
}

} // namespace tova
