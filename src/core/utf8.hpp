// SPDX-License-Identifier: MIT
#pragma once
// Whether bytes are UTF-8 as RFC 3629 has it (no overlong forms, no surrogates, nothing past
// U+10FFFF), and whether such text is printable: what a name from a file may be before it is
// put in an answer line, a metric label or a WebSocket message.
#include <string_view>

namespace tova {

bool validUtf8(std::string_view bytes);
// Valid, and without a control character: none of C0 (a CR or LF among them), DEL or C1.
bool printableUtf8(std::string_view bytes);

} // namespace tova
