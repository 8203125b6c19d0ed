#pragma once
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

// True when the command line only asks for help or the version (no window needed).
bool wantsHelpOnly(int argc, char** argv);

// Parses the command line; prints help, version or errors and exits for those. The devices come
// from the command line, else from what --save stored, else from the defaults.
PanelOptions parsePanelOptions(const QStringList& arguments);

} // namespace tova
