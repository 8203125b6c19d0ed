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

// What the command line asks for: run with these options, or end at once with exitCode after
// printing message (help, version or an error) to standard output or error.
struct ParsedOptions {
    PanelOptions options;
    int exitCode = -1; // -1: run the panel
    QString message;
    bool toStdout = false;
};

// True when the command line only asks for help or the version (no window needed).
bool wantsHelpOnly(int argc, char** argv);

// The devices come from the command line, else from what --save stored, else from the defaults.
ParsedOptions parsePanelOptions(const QStringList& arguments);

} // namespace tova
