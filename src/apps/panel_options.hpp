// SPDX-License-Identifier: MIT
#pragma once
#include "qt/command_line.hpp"

#include <QString>
#include <QStringList>

namespace tova {

struct PanelOptions {
    QString com1, com2;       // device paths (or tcp://HOST:PORT) of ports 1 and 2
    bool demo = false;        // virtual projectors on both ports
    QString trace;            // append the line's traffic to this file
    QString screenshot;       // save a picture of the window here once it is shown
    int screenshotHeight = 0; // twips; 0: as the window stands
};

// What the command line asks for: run with these options, or end as the outcome says.
struct ParsedOptions {
    PanelOptions options;
    CommandLineOutcome outcome;
    QString notice; // what was done on the way (--save), for standard error
};

// The devices come from the command line, else from what --save kept, else from the defaults.
// Needs no application object: it runs before the window system is touched.
ParsedOptions parsePanelOptions(const QStringList& arguments);

// Why the window cannot be shown here, or empty: no display for the platform that would be used.
QString missingDisplay(const QStringList& arguments);

} // namespace tova
