// SPDX-License-Identifier: MIT
#pragma once
// What a Windows program says outside its window: the command line's outcome (help, version, a
// usage error) and notices, to the standard output or error it was given, else to the console it
// was started from, else in a message box.
#include "core/command_line.hpp"

#include <string>

namespace tova::win32 {

// The program's arguments as given, its name left out, in UTF-8.
std::vector<std::string> programArguments();

// Says the outcome where it can be read and returns its exit status.
int finish(const cli::Outcome& outcome);

// A line for standard error, where there is one to read it.
void notice(const std::string& text);

} // namespace tova::win32
