// SPDX-License-Identifier: MIT
#pragma once
// JSON as the bridge's pages and tova-send write it: nlohmann's documents, keys in the order
// they are set, and one writer. Line traffic is bytes, not UTF-8: every byte beyond ASCII is
// written \u00XX. Captions and names are UTF-8 text and pass as they are. Control characters are
// always written \u00XX (a line's CR as \u000d), and "<" as \u003c, so that a JSON text never
// closes a script element whatever it carries.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace tova {

using Json = nlohmann::ordered_json;

// A byte string (line traffic, a reply) as a JSON string: its bytes beyond ASCII kept as bytes.
Json jsonBytes(std::string_view bytes);
// A number as its shortest text: 25 for 25.0, 30.5; null when there is none.
Json jsonNumber(std::optional<double> v);
// The one way a JSON value is written out.
std::string dumpJson(const Json& j);

} // namespace tova
