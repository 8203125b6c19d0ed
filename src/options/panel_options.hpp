// SPDX-License-Identifier: MIT
#pragma once
// The panel's command line, the same for both windows, and the devices it runs on: the command
// line's, else those kept with --save, else the system's defaults.
#include "core/command_line.hpp"

#include <optional>
#include <string>
#include <vector>

namespace tova {

// What differs by system: where ports 1 and 2 lead when nothing names a device, and whether the
// window system takes options of its own from the same command line (Qt's -platform).
struct PanelSystem {
    std::string com1Default, com2Default;
    std::vector<std::string> windowSystemOptions;
    std::string keptWhere; // where --save keeps the devices, for the help
};

struct PanelOptions {
    std::optional<std::string> com1, com2; // device paths (or tcp://HOST:PORT) as given
    bool save = false;        // keep the given devices for later starts
    bool demo = false;        // virtual projectors on both ports
    std::string trace;        // append the line's traffic to this file
    std::string screenshot;   // save a picture of the window here once it is shown
    int screenshotHeight = 0; // twips; 0: as the window stands
};

struct PanelCommandLine {
    PanelOptions options;
    cli::Outcome outcome;
};

cli::Program panelProgram(const PanelSystem& system);
PanelCommandLine parsePanelCommandLine(const std::vector<std::string>& arguments, const PanelSystem& system);

// Where the devices of --save are kept: the system's own settings store.
class DeviceStore {
  public:
    struct Kept {
        std::optional<std::string> com1, com2;
    };
    virtual ~DeviceStore() = default;
    virtual std::string where() const = 0; // "the settings file PATH", "the registry key KEY"
    // What is kept; nullopt when the store cannot be read (it is then left as it is).
    virtual std::optional<Kept> read() = 0;
    // Keeps the devices given, the others as they are; false when they cannot be kept.
    virtual bool write(const Kept& given) = 0;
};

struct Devices {
    std::string com1, com2;
    cli::Outcome outcome; // go on, or end as it says (--save failed)
    std::string notice;   // what was done on the way, for standard error
};

// The devices the panel runs on. With --save, the ones given are kept first.
Devices chooseDevices(const PanelOptions& options, DeviceStore& store, const PanelSystem& system);

} // namespace tova
