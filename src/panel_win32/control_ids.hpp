// SPDX-License-Identifier: MIT
#pragma once
// How the Windows panel names its windows, for itself and for whoever reads it back (the tests'
// probe): each control's ID is its place in the layout table after kFirstControlId; the window
// and its containers are of these classes.
#include "tables/layout_table.hpp"

#include <cstddef>
#include <string_view>

namespace tova::win32 {

inline constexpr int kFirstControlId = 100;
inline constexpr wchar_t kPanelClass[] = L"TovaPanel";
inline constexpr wchar_t kFrameClass[] = L"TovaFrame";
inline constexpr wchar_t kPictureClass[] = L"TovaPicture";

inline int controlId(std::size_t layoutIndex) { return kFirstControlId + static_cast<int>(layoutIndex); }

// The layout row of a control ID; nullptr for one that is none of ours.
inline const LayoutControl* controlOfId(int id) {
    const auto& all = layoutControls();
    const int i = id - kFirstControlId;
    return i >= 0 && static_cast<std::size_t>(i) < all.size() ? &all[static_cast<std::size_t>(i)] : nullptr;
}

} // namespace tova::win32
