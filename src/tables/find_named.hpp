// SPDX-License-Identifier: MIT
#pragma once
#include <iterator>
#include <string_view>

namespace tova {

// The row of a table whose name is name, or nullptr.
template <class Table>
auto findNamed(const Table& table, std::string_view name) -> decltype(&*std::begin(table)) {
    for (const auto& row : table)
        if (row.name == name) return &row;
    return nullptr;
}

} // namespace tova
