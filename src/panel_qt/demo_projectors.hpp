// SPDX-License-Identifier: MIT
#pragma once
// Two virtual projectors, one behind each of the panel's ports (--demo): on pseudo-terminals, or
// on Windows behind loopback TCP ports.
#include "sim_qt/projector_endpoint.hpp"

#include <memory>
#include <string>

namespace tova {

struct DemoProjectors {
    std::unique_ptr<ProjectorEndpoint> com1, com2;
    // com1 and com2 are set to where they are. Throws std::runtime_error when one cannot start.
    DemoProjectors(std::string& com1Path, std::string& com2Path);
};

} // namespace tova
