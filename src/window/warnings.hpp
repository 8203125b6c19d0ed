// SPDX-License-Identifier: MIT
#pragma once
// The warning box as both windows open it: after the handler that raised it has finished,
// never inside it, so that a press and its release always arrive as a pair; the held button
// let go first, as its release would, so that no repeat is left running; then the box, with the
// program's name as its title; what follows its dismissal once it is closed. Each window only
// defers a call and draws the box.
#include "window/window_input.hpp"

#include <functional>
#include <string>

namespace tova {

inline constexpr std::string_view kProgramTitle = "tova-control";

class Warnings {
  public:
    struct Platform {
        // Runs f after the handler running now has finished.
        std::function<void(std::function<void()> f)> later;
        // The button let go shows up.
        std::function<void(const std::string& control)> showUp;
        // Opens the modal box (title, text, OK; Yes and No for a question); closed runs once it is
        // dismissed, true for Yes.
        std::function<void(const std::string& title, const std::string& text, bool question,
                           std::function<void(bool yes)> closed)>
            open;
    };
    Warnings(const WindowInput& input, Platform platform) : m_input(input), m_platform(std::move(platform)) {}

    void show(const std::string& text, bool question, std::function<void(bool yes)> onClosed);

  private:
    const WindowInput& m_input;
    Platform m_platform;
};

} // namespace tova
