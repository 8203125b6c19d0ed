// SPDX-License-Identifier: MIT
#include "bridge/web/request_framing.hpp"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tova::bridge {
namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<std::string> RequestFraming::headEnded() {
    const int lengths = std::exchange(m_contentLengths, 0), encodings = std::exchange(m_transferEncodings, 0);
    const auto length = std::exchange(m_length, std::nullopt);
    m_inHead = false;
    if (lengths && encodings) return std::string("Content-Length and Transfer-Encoding together");
    if (lengths > 1) return std::string("two Content-Lengths");
    if (encodings) return std::string("a Transfer-Encoding (send a Content-Length)");
    if (lengths && !length) return std::string("a Content-Length that is no number");
    m_body = length.value_or(0);
    return std::nullopt;
}

std::optional<std::string> RequestFraming::feed(std::string_view bytes) {
    if (m_failed) return std::nullopt;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (m_body > 0) { // a body passes as it is
            const std::size_t n = static_cast<std::size_t>(std::min<unsigned long long>(m_body, bytes.size() - i));
            m_body -= n;
            m_current = m_body > 0 ? m_current + n : 0;
            i += n - 1;
            continue;
        }
        ++m_current;
        const char c = bytes[i];
        if (c != '\n') {
            if (m_line.size() < 16 * 1024) m_line += c; // the listener closes a longer head
            continue;
        }
        std::string_view line = m_line;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) {
            m_line.clear();
            if (!m_inHead) continue; // blank lines before a request are allowed
            if (auto why = headEnded()) {
                m_failed = true;
                return why;
            }
            if (m_body == 0) m_current = 0; // a request without a body is whole
            continue;
        }
        if (m_inHead) {
            const std::size_t colon = line.find(':');
            const std::string_view name = line.substr(0, colon);
            const std::string_view value = colon == std::string_view::npos ? std::string_view() : trimmed(line.substr(colon + 1));
            if (sameName(name, "Content-Length")) {
                ++m_contentLengths;
                unsigned long long n = 0;
                const bool digits = !value.empty() && value.size() <= 12 &&
                                    std::all_of(value.begin(), value.end(), [](char d) { return d >= '0' && d <= '9'; });
                for (char d : value) n = n * 10 + static_cast<unsigned long long>(d - '0');
                m_length = digits ? std::optional(n) : std::nullopt;
            } else if (sameName(name, "Transfer-Encoding")) {
                ++m_transferEncodings;
            }
        }
        m_inHead = true; // the request line, or a header of its head
        m_line.clear();
    }
    return std::nullopt;
}

} // namespace tova::bridge
