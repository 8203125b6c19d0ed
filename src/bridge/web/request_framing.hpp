// SPDX-License-Identifier: MIT
#pragma once
// How a client's requests are framed, checked on the bytes as they come, before the HTTP server
// reads them: a request whose body length could be read two ways (Content-Length and
// Transfer-Encoding together, or two Content-Lengths) is how one request is smuggled inside
// another past a proxy, and is refused with the connection. The web remote's requests are small
// and carry a Content-Length; a chunked body is refused too, which keeps this reader exact.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tova::bridge {

class RequestFraming {
  public:
    // The next bytes the client sent, in order; what is wrong with its framing, once, if anything.
    std::optional<std::string> feed(std::string_view bytes);
    // The bytes of the request not yet whole: pipelined requests each count on their own.
    std::size_t current() const { return m_current; }

  private:
    std::optional<std::string> headEnded();

    std::string m_line;          // the head's line so far
    int m_contentLengths = 0, m_transferEncodings = 0;
    std::optional<unsigned long long> m_length;
    bool m_inHead = false;       // past the request line's start
    unsigned long long m_body = 0; // body bytes still to pass
    bool m_failed = false;
    std::size_t m_current = 0;
};

} // namespace tova::bridge
